// The play list.
#include "engine/play_list.h"

#include <algorithm>
#include <utility>

namespace tunora::engine {

int32_t PlayList::size() const {
  std::lock_guard lock(mu_);
  return static_cast<int32_t>(rows_.size());
}

std::optional<PlayListRow> PlayList::row(int32_t index) const {
  std::lock_guard lock(mu_);
  if (index < 0 || static_cast<size_t>(index) >= rows_.size()) return std::nullopt;
  return rows_[static_cast<size_t>(index)];
}

std::vector<PlayListRow> PlayList::rows() const {
  std::lock_guard lock(mu_);
  return rows_;
}

void PlayList::changed(std::unique_lock<std::mutex>& data_lock, const PlayListChange& change) {
  int32_t length = static_cast<int32_t>(rows_.size());
  int32_t prepared = songs_prepared_.load();
  while (prepared != kDoNotSavePlayList &&
         !songs_prepared_.compare_exchange_weak(prepared, length)) {
  }
  data_lock.unlock();
  if (observer_ != nullptr) observer_->onPlayListChanged(change);
}

void PlayList::append(PlayListRow row) {
  std::lock_guard notify(notify_mu_);
  std::unique_lock lock(mu_);
  rows_.push_back(std::move(row));
  changed(lock, {PlayListChange::Kind::kAppended, static_cast<int32_t>(rows_.size()) - 1});
}

void PlayList::insertAtTop(PlayListRow row) {
  std::lock_guard notify(notify_mu_);
  std::unique_lock lock(mu_);
  rows_.insert(rows_.begin(), std::move(row));
  changed(lock, {PlayListChange::Kind::kInsertedAtTop, 0});
}

bool PlayList::removeRow(int32_t index) {
  std::lock_guard notify(notify_mu_);
  std::unique_lock lock(mu_);
  if (index < 0 || static_cast<size_t>(index) >= rows_.size()) return false;
  rows_.erase(rows_.begin() + index);
  changed(lock, {PlayListChange::Kind::kRemovedRow, index});
  return true;
}

int32_t PlayList::removeFirst(int32_t k) {
  std::lock_guard notify(notify_mu_);
  std::unique_lock lock(mu_);
  int32_t count = k < 0 ? 0 : std::min(k, static_cast<int32_t>(rows_.size()));
  if (count == 0) return 0;
  rows_.erase(rows_.begin(), rows_.begin() + count);
  changed(lock, {PlayListChange::Kind::kRemovedFirst, 0, count});
  return count;
}

void PlayList::markDoNotSave() { songs_prepared_.store(kDoNotSavePlayList); }

void PlayList::setObserver(PlayListObserver* observer) {
  std::lock_guard notify(notify_mu_);
  observer_ = observer;
}

}  // namespace tunora::engine
