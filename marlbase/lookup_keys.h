// The values the lookups compare: an integer field's value, the search key read as a number,
// and bytes compared without regard to the case of ASCII letters.
#pragma once

#include <cstdint>

#include "marlbase/format.h"

namespace tunora::marlbase {

// The key's digits read from the left into an unsigned number; other characters are not
// rejected but take part with their distance from '0', as the stored libraries' tools did.
inline uint32_t numericKey(const char* key) {
  uint32_t n = 0;
  for (const char* p = key; *p != '\0'; ++p) {
    n = n * 10 + static_cast<uint32_t>(static_cast<uint8_t>(*p) - '0');
  }
  return n;
}

// Whether a field byte equals a key byte, the letters a-z and A-Z in either case.
inline bool sameFolded(uint8_t field, uint8_t key) {
  if (field == key) return true;
  if (field >= 'a' && field <= 'z') return field - 32 == key;
  if (field >= 'A' && field <= 'Z') return field + 32 == key;
  return false;
}

// An integer field's value: 8 bits for type 0, 16 for type 1, otherwise the field's first word.
inline uint32_t integerField(const uint8_t* field, uint32_t type) {
  if (type == 0) return field[0];
  if (type == 1) return uint32_t{field[0]} | uint32_t{field[1]} << 8;
  return loadU32(field);
}

}  // namespace tunora::marlbase
