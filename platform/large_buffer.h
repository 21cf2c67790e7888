// Memory for the buffers of megabytes a large file is transformed through:
// mapped in huge pages where the system allows, so that filling it the
// first time costs a few page faults rather than one per 4 KiB page.
#ifndef VELMORA_PLATFORM_LARGE_BUFFER_H_
#define VELMORA_PLATFORM_LARGE_BUFFER_H_

#include <cstddef>
#include <cstdint>

namespace velmora {

class LargeBuffer {
 public:
  LargeBuffer() = default;
  // |bytes| bytes, uninitialised; throws std::bad_alloc when out of memory.
  explicit LargeBuffer(std::size_t bytes);
  ~LargeBuffer();
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  uint8_t* data() const { return data_; }

 private:
  void* mapping_ = nullptr;
  std::size_t mapped_ = 0;
  uint8_t* data_ = nullptr;
};

}  // namespace velmora

#endif  // VELMORA_PLATFORM_LARGE_BUFFER_H_
