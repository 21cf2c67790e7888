#include "job/wide_list_buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace velmora {
namespace {

constexpr uint32_t kFirstBlockBytes = 256;
constexpr int kMaxSeparators = 10;

char16_t g_separators[kMaxSeparators];
int32_t g_nSeparators = 0;
int32_t g_nTokenPos = 0;
int32_t g_nTokenIndex = 0;
bool g_bAfterCarriageReturn = false;

void* Allocate(void* block, uint32_t bytes) {
  void* grown = std::realloc(block, bytes);
  if (grown == nullptr) throw std::bad_alloc();  // out of memory ends the program
  return grown;
}

}  // namespace

WideListBuffer::~WideListBuffer() { Release(); }

WideListBuffer::WideListBuffer(WideListBuffer&& other) noexcept
    : m_pData(std::exchange(other.m_pData, nullptr)),
      m_nLength(std::exchange(other.m_nLength, 0)),
      m_nCapacity(std::exchange(other.m_nCapacity, 0)) {}

WideListBuffer& WideListBuffer::operator=(WideListBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    m_pData = std::exchange(other.m_pData, nullptr);
    m_nLength = std::exchange(other.m_nLength, 0);
    m_nCapacity = std::exchange(other.m_nCapacity, 0);
  }
  return *this;
}

char16_t* WideListBuffer::Append(const void* bytes, uint32_t count) {
  if (m_pData == nullptr) {
    m_pData = static_cast<char16_t*>(Allocate(nullptr, kFirstBlockBytes));
    m_nCapacity = kFirstBlockBytes;
    m_nLength = 0;
  }
  const uint64_t need = uint64_t{m_nLength} + count + 2;
  if (need >= m_nCapacity) {
    uint64_t capacity = m_nCapacity;
    while (capacity <= need) capacity *= 2;
    m_pData = static_cast<char16_t*>(
        Allocate(m_pData, static_cast<uint32_t>(capacity)));
    m_nCapacity = static_cast<uint32_t>(capacity);
  }
  if (count > 0) {
    std::memcpy(reinterpret_cast<char*>(m_pData) + m_nLength, bytes, count);
  }
  m_nLength += count;
  m_pData[m_nLength / 2] = u'\0';
  return m_pData;
}

char16_t* WideListBuffer::AppendString(std::u16string_view text) {
  return Append(text.data(), static_cast<uint32_t>(text.size() * 2));
}

char16_t* WideListBuffer::GetData() {
  if (m_pData == nullptr) Append(nullptr, 0);
  return m_pData;
}

void WideListBuffer::Release() {
  std::free(m_pData);
  m_pData = nullptr;
  m_nLength = 0;
  m_nCapacity = 0;
}

void WideListBuffer::Clear() {
  Release();
  ResetSeparators();
}

const char16_t* WideListBuffer::NextToken(int32_t index) {
  char16_t* data = GetData();
  const int32_t end = static_cast<int32_t>(m_nLength / 2);
  int32_t start = g_nTokenPos < end ? g_nTokenPos : end;
  const bool skip_line_feed = g_bAfterCarriageReturn || start == 0;
  int32_t j = start;
  while (j < end && !IsSeparator(data[j])) ++j;
  g_bAfterCarriageReturn = false;
  if (j < end) {
    g_bAfterCarriageReturn = data[j] == u'\r';
    data[j] = u'\0';
    g_nTokenPos = j + 1;
  } else {
    g_nTokenPos = end;
  }
  g_nTokenIndex = index + 1;
  if (skip_line_feed && start < end && data[start] == u'\n' &&
      (start > 0 || IsSeparator(u'\r'))) {
    ++start;
  }
  return data + start;
}

void WideListBuffer::ResetSeparators() {
  g_nSeparators = 0;
  g_nTokenPos = 0;
  g_nTokenIndex = 0;
  g_bAfterCarriageReturn = false;
}

void WideListBuffer::AddSeparator(std::u16string_view separator) {
  if (g_nSeparators >= kMaxSeparators) return;
  g_separators[g_nSeparators++] = separator.empty() ? u'\0' : separator[0];
}

int WideListBuffer::IsSeparator(char16_t c) {
  for (int32_t i = 0; i < g_nSeparators; ++i) {
    if (g_separators[i] == c) return 1;
  }
  return 0;
}

}  // namespace velmora
