// Helpers for the table engine's tests: making tables and reading them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "marlbase/table_handle.h"
#include "tests/marlbase/plain_table.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase::testing {

// Creates a table at path (create, defineColumn, finishColumns, close). False on any failure.
inline bool makeTable(const std::string& path, const std::vector<uint32_t>& types) {
  TableHandle t;
  t.setPath(path);
  t.setColumnCount(static_cast<int32_t>(types.size()));
  if (!t.create().ok()) return false;
  for (size_t c = 0; c < types.size(); ++c) {
    if (!t.defineColumn(static_cast<int32_t>(c + 1), types[c])) return false;
  }
  if (!t.finishColumns()) return false;
  t.close();
  return true;
}

inline Status openAs(TableHandle& t, const std::string& path, bool writable) {
  t.setPath(path);
  t.setWritable(writable);
  return t.open();
}

inline void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Writes a table of exactly `statuses.size()` slots with those status words (fields zero).
inline void writeShapedTable(const std::string& path, const std::vector<uint32_t>& types,
                             const std::vector<int32_t>& statuses) {
  PlainTable t = PlainTable::create(types);
  std::vector<uint8_t>& image = t.image();
  const size_t area = 1444 + 8 * types.size();
  image.resize(std::max(image.size(), area + statuses.size() * t.recordSize()), 0);
  putLe32(image, 1360, static_cast<uint32_t>(statuses.size()));
  for (size_t s = 0; s < statuses.size(); ++s) {
    putLe32(image, area + s * t.recordSize(), static_cast<uint32_t>(statuses[s]));
  }
  tunora::testing::writeBytes(path, image);
}

}  // namespace tunora::marlbase::testing
