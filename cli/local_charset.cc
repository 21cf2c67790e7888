#include "cli/local_charset.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace velmora::cli {
namespace {

// The locale's character set where output must be converted to it; null
// for UTF-8 and for ASCII, which prints UTF-8 unchanged.
const char* ConvertedCharset() {
  const std::string_view codeset = ::nl_langinfo(CODESET);
  if (codeset.empty() || codeset == "UTF-8" || codeset == "ANSI_X3.4-1968") return nullptr;
  return ::nl_langinfo(CODESET);
}

// Bytes of the UTF-8 sequence |lead| starts (1 for a stray byte).
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  return lead >= 0xC0 ? 2 : 1;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(::iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) ::iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // iconv_open fails with (iconv_t)-1.
  bool ok() const { return reinterpret_cast<std::intptr_t>(handle_) != -1; }

  // |bytes| converted; '?' for each character the target cannot hold or
  // the source does not spell correctly. |utf8_source| says how long such
  // a character is.
  std::string Convert(std::string_view bytes, bool utf8_source) {
    std::string out;
    char* in = const_cast<char*>(bytes.data());  // iconv's signature; not written
    std::size_t in_left = bytes.size();
    while (in_left > 0) {
      const bool failed = Step(&in, &in_left, &out);
      if (!failed) continue;
      Reset(&out);  // a stateful set back in its first state before the '?'
      out.push_back('?');
      const std::size_t skip =
          utf8_source ? SequenceLength(static_cast<unsigned char>(*in)) : std::size_t{1};
      in += std::min(skip, in_left);
      in_left -= std::min(skip, in_left);
    }
    Reset(&out);
    return out;
  }

 private:
  // Converts what it can; true when it stopped at a character it cannot
  // convert.
  bool Step(char** in, std::size_t* in_left, std::string* out) {
    char buffer[256];
    char* next = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t result = ::iconv(handle_, in, in_left, &next, &room);
    const int error = errno;
    out->append(buffer, static_cast<std::size_t>(next - buffer));
    return result == static_cast<std::size_t>(-1) && error != E2BIG;
  }

  void Reset(std::string* out) {
    char buffer[16];
    char* next = buffer;
    std::size_t room = sizeof buffer;
    ::iconv(handle_, nullptr, nullptr, &next, &room);
    out->append(buffer, static_cast<std::size_t>(next - buffer));
  }

  iconv_t handle_;
};

}  // namespace

std::string LocalBytes(std::string_view utf8) {
  const char* charset = ConvertedCharset();
  if (charset == nullptr) return std::string(utf8);
  Converter converter(charset, "UTF-8");
  // A set iconv cannot reach: the bytes as they are beat none at all.
  if (!converter.ok()) return std::string(utf8);
  return converter.Convert(utf8, true);
}

std::string Utf8FromLocal(std::string_view local) {
  const char* charset = ConvertedCharset();
  if (charset == nullptr) return std::string(local);
  Converter converter("UTF-8", charset);
  if (!converter.ok()) return std::string(local);
  return converter.Convert(local, false);
}

}  // namespace velmora::cli
