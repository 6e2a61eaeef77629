// The play list: the prepared songs, top row next to play, five texts per row. The list builder,
// the request executor and playlist loading change it; the main window shows it and subscribes
// to its changes. Thread-safe: every method may be called from any thread.
//
// The songs-prepared count follows the length, except that it can be set to the marker 9999
// ("do not save the play list at the quit"), which then stays.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings_save_sources.h"

namespace tunora::engine {

inline constexpr int32_t kPlayListColumns = 5;
inline constexpr std::array<const char*, kPlayListColumns> kPlayListColumnNames = {
    "Title", "Artist", "Album", "FileName", "Type"};
inline constexpr int32_t kFileNameColumn = 3;  // 0-based: the song's full path

using PlayListRow = std::array<std::string, kPlayListColumns>;

struct PlayListChange {
  enum class Kind { kAppended, kInsertedAtTop, kRemovedRow, kRemovedFirst };
  Kind kind;
  int32_t row = 0;    // the row appended or removed; 0 for the top
  int32_t count = 1;  // rows removed by kRemovedFirst
};

// Told of every change, in the order the changes were made, on the thread that made it, after
// the change. It may read the list but must not change it.
class PlayListObserver {
 public:
  virtual ~PlayListObserver() = default;
  virtual void onPlayListChanged(const PlayListChange& change) = 0;
};

class PlayList {
 public:
  int32_t size() const;
  std::optional<PlayListRow> row(int32_t index) const;
  std::vector<PlayListRow> rows() const;

  void append(PlayListRow row);
  void insertAtTop(PlayListRow row);
  // False when there is no such row.
  bool removeRow(int32_t index);
  // Removes min(k, size) rows from the top; returns how many went.
  int32_t removeFirst(int32_t k);

  // The length, or 9999 once markDoNotSave() was called.
  int32_t songsPrepared() const { return songs_prepared_.load(); }
  void markDoNotSave();

  // At most one observer (the window); nullptr to unsubscribe.
  void setObserver(PlayListObserver* observer);

 private:
  void changed(std::unique_lock<std::mutex>& data_lock, const PlayListChange& change);

  // Held across a change and its notification, so that observers see changes in order.
  std::mutex notify_mu_;
  mutable std::mutex mu_;
  std::vector<PlayListRow> rows_;         // guarded by mu_
  PlayListObserver* observer_ = nullptr;  // guarded by notify_mu_
  std::atomic<int32_t> songs_prepared_{0};
};

}  // namespace tunora::engine
