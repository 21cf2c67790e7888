// Conversion between the program's UTF-16 names and the bytes of a Linux
// file name.
//
// On disk a name is WTF-8: UTF-8, except that a lone surrogate unit is written
// as its own 3-byte sequence (a valid high+low pair becomes the 4-byte
// sequence of its code point). Enciphered names often hold lone surrogates;
// WTF-8 keeps them exactly. This encoding is a persistent format.
//
// Bytes that are not WTF-8 (a Shift_JIS name from an old archive, say) still
// have to be walked past and reported, so decoding never fails: each such byte
// b becomes the two units U+FFFF, U+DC00 + b, and encoding turns that pair back
// into the byte. U+FFFF is outside the name alphabet, so the cipher never
// produces such a pair and refuses to encipher a name that holds one.
#ifndef VELMORA_PLATFORM_WTF8_H_
#define VELMORA_PLATFORM_WTF8_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

constexpr char16_t kEscapeLead = 0xFFFF;

// Encodes |text| as WTF-8, turning escaped bytes back into raw bytes.
std::string Wtf8FromUtf16(std::u16string_view text);

// Decodes WTF-8 |bytes|; bytes that are not part of a well-formed sequence
// are escaped as described above. Wtf8FromUtf16(Utf16FromWtf8(b)) == b.
std::u16string Utf16FromWtf8(std::string_view bytes);

// The same into |out|, which has room for 2 * bytes.size() units (an
// escaped byte takes two): for text that must not be copied elsewhere, a
// password say. Returns the number of units written.
std::size_t Utf16FromWtf8Into(std::string_view bytes, char16_t* out);

// Number of bytes Wtf8FromUtf16(text) would produce.
std::size_t Wtf8Length(std::u16string_view text);

// True when |text| holds at least one escaped raw byte, that is, when the
// name it came from was not valid UTF-8.
bool HasEscapedBytes(std::u16string_view text);

}  // namespace velmora

#endif  // VELMORA_PLATFORM_WTF8_H_
