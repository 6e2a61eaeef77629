// Fixed-width fields of the index cache and its delta: written and read in the machine's byte
// order at any offset, since both files are only ever read back on the machine that wrote them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tunora::marlbase::cache_fields {

template <typename T>
void put(std::vector<uint8_t>& out, size_t at, T value) {
  std::memcpy(out.data() + at, &value, sizeof value);
}

template <typename T>
T get(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

}  // namespace tunora::marlbase::cache_fields
