// WideListBuffer: a growable, always terminated block of UTF-16 text, with a
// token reader that cuts it in place at a small set of separators.
//
// The block starts at 256 bytes and doubles, so n appends cost O(log n)
// reallocations. The reader's separator set and position are process-wide:
// only one buffer may be read at a time, which the program guarantees by
// reading only during a walk or in the settings.
//
// Reading: ResetSeparators(), AddSeparator() for each separator, then
// NextToken(0), NextToken(1), ... A token is the text up to the next
// separator (which is overwritten with U+0000); after the last separator
// come the rest of the text, if any, and then empty tokens. A token that
// follows a carriage return separator loses one leading line feed, so
// "\r\n" line ends read as clean lines; with other separators line feeds
// are kept, so names holding them survive.
#ifndef VELMORA_JOB_WIDE_LIST_BUFFER_H_
#define VELMORA_JOB_WIDE_LIST_BUFFER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

class WideListBuffer {
 public:
  WideListBuffer() = default;
  ~WideListBuffer();
  WideListBuffer(const WideListBuffer&) = delete;
  WideListBuffer& operator=(const WideListBuffer&) = delete;
  WideListBuffer(WideListBuffer&& other) noexcept;
  WideListBuffer& operator=(WideListBuffer&& other) noexcept;

  // Appends |count| bytes and re-terminates; returns the block.
  char16_t* Append(const void* bytes, uint32_t count);
  char16_t* AppendString(std::u16string_view text);
  // Never null: creates an empty 256-byte block when there is none.
  char16_t* GetData();
  char16_t* CharAt(uint32_t index) { return GetData() + index; }
  // Frees the block.
  void Release();
  // Frees the block, empties the buffer and resets the reader.
  void Clear();
  // Token |index|, which must be the next one the reader expects.
  const char16_t* NextToken(int32_t index);

  uint32_t LengthBytes() const { return m_nLength; }
  uint32_t CapacityBytes() const { return m_nCapacity; }

  static void ResetSeparators();
  // Adds the first unit of |separator| (U+0000 for the empty text).
  static void AddSeparator(std::u16string_view separator);
  static int IsSeparator(char16_t c);

 private:
  char16_t* m_pData = nullptr;
  uint32_t m_nLength = 0;    // bytes of content, terminator not counted
  uint32_t m_nCapacity = 0;  // bytes of the block
};

}  // namespace velmora

#endif  // VELMORA_JOB_WIDE_LIST_BUFFER_H_
