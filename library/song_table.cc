// Creation of a new song table.
#include "library/song_table.h"

#include <cstdint>

#include "library/song_columns.h"

namespace tunora {
namespace {

constexpr uint32_t kTypeInt32 = 2;
constexpr uint32_t kTypeText64 = 12;
constexpr uint32_t kTypeText1000 = 14;

// Column 1 is the path, 2..9 the song texts (some reserved), 10..44 integers.
uint32_t songColumnType(int32_t column) {
  if (column == kColFileName) return kTypeText1000;
  if (column <= 9) return kTypeText64;
  return kTypeInt32;
}

bool defineSongColumns(marlbase::TableHandle& table) {
  for (int32_t column = 1; column <= kSongColumnCount; ++column) {
    if (!table.defineColumn(column, songColumnType(column))) return false;
  }
  return table.finishColumns();
}

}  // namespace

bool hasSongColumns(const marlbase::TableHandle& table) {
  if (table.columnCount() != kSongColumnCount) return false;
  for (int32_t column = 1; column <= kSongColumnCount; ++column) {
    if (table.columnType(column) != static_cast<int32_t>(songColumnType(column))) return false;
  }
  return true;
}

bool createSongTable(marlbase::TableHandle& table, const std::string& path) {
  table.close();
  table.setPath(path);
  table.setColumnCount(kSongColumnCount);
  if (!table.create().ok()) return false;
  const bool defined = defineSongColumns(table);
  table.close();
  if (!defined) return false;

  table.setWritable(true);
  if (!table.open().ok()) return false;
  // The new table has no live record, so this allocation runs no slot maintenance and takes
  // slot 0.
  if (!table.setHeaderFlag(1) || table.allocate() != 0) {
    table.close();
    return false;
  }
  return true;
}

}  // namespace tunora
