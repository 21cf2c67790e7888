#include "platform/large_buffer.h"

#include <sys/mman.h>

#include <new>

namespace velmora {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

LargeBuffer::LargeBuffer(std::size_t bytes) {
  if (bytes == 0) return;
  // One huge page more, so that the buffer can start on a huge page.
  mapped_ = bytes + kHugePage;
  mapping_ = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping_ == MAP_FAILED) {
    mapping_ = nullptr;
    throw std::bad_alloc();
  }
  const auto start = reinterpret_cast<std::uintptr_t>(mapping_);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  data_ = static_cast<uint8_t*>(mapping_) + (aligned - start);
  // Only a hint: without huge pages the buffer is an ordinary one.
  ::madvise(data_, bytes, MADV_HUGEPAGE);
}

LargeBuffer::~LargeBuffer() {
  if (mapping_ != nullptr) ::munmap(mapping_, mapped_);
}

}  // namespace velmora
