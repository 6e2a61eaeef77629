// Creation of a new song table.
#include "library/song_table.h"

#include <cstdint>
#include <string>

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

bool hasBlankFirstRecord(const marlbase::TableHandle& table) {
  return table.peekStatus(0).value_or(0) == marlbase::kStatusLive;
}

std::string repairBlankFirstRecord(marlbase::TableHandle& table) {
  if (!table.isMapped() || !table.writable() || !hasSongColumns(table) || table.capacity() == 0 ||
      hasBlankFirstRecord(table)) {
    return {};
  }
  const int32_t status = table.peekStatus(0).value_or(0);
  if (status != marlbase::kStatusUnused && status != marlbase::kStatusDeleted) return {};
  const std::string_view path = table.peekField(0, kColFileName);
  const bool holds_song = !path.empty() && path[0] != '\0' && status == marlbase::kStatusDeleted;
  const std::string failed = table.path() +
                             ": the blank first record (slot 0) could not be made "
                             "live again";
  // Live first: fields are written only while a record is live, and the allocation below must
  // not take slot 0. No compaction while slot numbers are held.
  table.setCompactionHold(1);
  if (table.setStatus(0, marlbase::kStatusLive) != 1) return failed;
  std::string moved;
  if (holds_song) {
    const int32_t to = table.allocate();
    if (to <= 0 || table.copySlot(0, to) != 1 ||
        table.setStatus(to, marlbase::kStatusDeleted) != 1) {
      (void)table.setStatus(0, status);
      return failed;
    }
    moved = " (the deleted song it held was moved to slot " + std::to_string(to) + ")";
  }
  for (int32_t column = 1; column <= kSongColumnCount; ++column) {
    const bool text = songColumnType(column) != kTypeInt32;
    if (!(text ? table.writeText(0, column, "") : table.writeInt(0, column, 0))) return failed;
  }
  return table.path() + ": the blank first record (slot 0) was missing and is live again" + moved;
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
