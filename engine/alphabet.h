// The name and code alphabets: the code units a file name may hold, in
// increasing order, with maps in both directions.
//
// The name alphabet is every permitted unit (65494 of them); the code
// alphabet is the same without space and full stop (65492) and only encodes
// the class character of an enciphered name. A unit outside an alphabet maps
// to index 0, like the alphabet's first character. Both formats depend on
// these tables: never change them.
#ifndef VELMORA_ENGINE_ALPHABET_H_
#define VELMORA_ENGINE_ALPHABET_H_

#include <cstdint>

namespace velmora {

// True for a unit of the permitted-character table (the name alphabet).
bool IsPermittedUnit(char16_t unit);

int32_t NameAlphabetSize();
int32_t CodeAlphabetSize();

uint16_t NameIndexOf(char16_t unit);
char16_t NameCharAt(uint16_t index);
uint16_t CodeIndexOf(char16_t unit);
char16_t CodeCharAt(uint16_t index);

}  // namespace velmora

#endif  // VELMORA_ENGINE_ALPHABET_H_
