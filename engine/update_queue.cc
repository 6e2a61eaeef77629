// The deferred update queue.
#include "engine/update_queue.h"

namespace tunora::engine {

int32_t UpdateQueue::push(const QueuedUpdate& update) {
  waiting_producers_.fetch_add(1);
  std::lock_guard lock(mu_);
  waiting_producers_.fetch_sub(1);
  allocated_ = true;
  if (entries_.size() >= static_cast<size_t>(kUpdateQueueCapacity)) {
    length_.store(static_cast<int32_t>(entries_.size()));
    return -1;
  }
  entries_.push_front(update);
  int32_t length = static_cast<int32_t>(entries_.size());
  length_.store(length);
  return length;
}

std::optional<QueuedUpdate> UpdateQueue::takeOldest() {
  std::lock_guard lock(mu_);
  if (entries_.empty()) return std::nullopt;
  QueuedUpdate oldest = entries_.back();
  entries_.pop_back();
  length_.store(static_cast<int32_t>(entries_.size()));
  return oldest;
}

bool UpdateQueue::freeIfEmpty() {
  std::lock_guard lock(mu_);
  if (!entries_.empty() || waiting_producers_.load() != 0) return !allocated_;
  allocated_ = false;
  entries_.shrink_to_fit();
  length_.store(-1);
  return true;
}

}  // namespace tunora::engine
