// Deletion marks and "Undelete All".
#include "library/song_deletion.h"

#include <atomic>
#include <string>
#include <unordered_set>
#include <vector>

#include "library/song_columns.h"
#include "util/text_codec.h"

namespace tunora {
namespace {

std::string pathKey(const marlbase::TableHandle& table, int32_t slot) {
  std::string_view raw = table.peekField(slot, kColFileName);
  const size_t end = raw.find('\0');
  return asciiLower(std::string(end == std::string_view::npos ? raw : raw.substr(0, end)));
}

// Read from the raw bytes: field reads need a live record in the table, and every song may be
// deleted.
bool marked(const marlbase::TableHandle& table, int32_t slot) {
  const std::string_view raw = table.peekField(slot, kColReserved10);
  if (raw.size() < 4) return false;
  const auto byte = [&](size_t i) { return uint32_t{static_cast<uint8_t>(raw[i])}; };
  return (byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24) == kDeletedSongMark;
}

bool stopped(const std::atomic<bool>* abort) {
  return abort != nullptr && abort->load(std::memory_order_relaxed);
}

}  // namespace

bool deleteSongRecord(marlbase::TableHandle& table, int32_t slot) {
  if (table.setStatus(slot, marlbase::kStatusDeleted) != 1) return false;
  if (!table.writeInt(slot, kColReserved10, kDeletedSongMark)) {
    // The last live record: fields are written only while one is live, so for a moment it is.
    (void)table.setStatus(slot, marlbase::kStatusLive);
    (void)table.writeInt(slot, kColReserved10, kDeletedSongMark);
    (void)table.setStatus(slot, marlbase::kStatusDeleted);
  }
  return true;
}

bool reviveDeletedSongs(marlbase::TableHandle& table, const std::atomic<bool>* abort,
                        ReviveCounts& counts) {
  const auto capacity = static_cast<int32_t>(table.capacity());
  std::vector<int32_t> with_mark, without_mark;
  std::unordered_set<std::string> live_paths;
  for (int32_t slot = 0; slot < capacity; ++slot) {
    const int32_t status = table.peekStatus(slot).value_or(0);
    if (status == marlbase::kStatusLive) {
      live_paths.insert(pathKey(table, slot));
    } else if (status == marlbase::kStatusDeleted) {
      ++counts.deleted_seen;
      (marked(table, slot) ? with_mark : without_mark).push_back(slot);
    }
  }
  auto revive = [&](int32_t slot) {
    // The mark goes first; with no live record in the table the field cannot be written yet.
    const bool cleared = table.writeInt(slot, kColReserved10, 0);
    if (table.setStatus(slot, marlbase::kStatusLive) == 1) ++counts.revived;
    if (!cleared) (void)table.writeInt(slot, kColReserved10, 0);
    live_paths.insert(pathKey(table, slot));
  };
  // The marked ones first: their paths then count as live for the unmarked ones.
  for (int32_t slot : with_mark) {
    if (stopped(abort)) return false;
    revive(slot);
  }
  for (int32_t slot : without_mark) {
    if (stopped(abort)) return false;
    if (live_paths.count(pathKey(table, slot)) == 0) revive(slot);
  }
  return true;
}

}  // namespace tunora
