// The deferred update queue: field changes made while the table may not be opened (ratings
// during playback, checksum results), written later by the update writer under lock code 27.
// Up to 200 entries, newest first; the writer takes the oldest. Storage exists only while the
// queue is in use: length() is -1 while none is allocated.
//
// Producers and the writer exclude each other with a mutex; every method may be called from any
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace tunora::engine {

struct QueuedUpdate {
  uint32_t key = 0;    // the record's FileId when the update was made
  int32_t slot = 0;    // the library slot
  int32_t column = 0;  // 1-based column number
  uint32_t new_value = 0;
  uint32_t old_value = 0;
};

inline constexpr int32_t kUpdateQueueCapacity = 200;

class UpdateQueue {
 public:
  // Puts the update in front of all others, allocating the storage when there is none. Returns
  // the new length, or -1 when the queue holds 200 entries (the update is lost).
  int32_t push(const QueuedUpdate& update);
  // Takes the oldest entry out; nullopt when empty or without storage.
  std::optional<QueuedUpdate> takeOldest();
  // Frees the storage when the queue is empty and no producer is waiting for it. True when it
  // is (now) without storage.
  bool freeIfEmpty();

  // The number of entries, -1 without storage (the settings field `EditQueueCount`).
  int32_t length() const { return length_.load(); }
  // Producers waiting for the queue while another thread changes it.
  int32_t waitingProducers() const { return waiting_producers_.load(); }

 private:
  mutable std::mutex mu_;
  bool allocated_ = false;            // guarded by mu_
  std::deque<QueuedUpdate> entries_;  // front = newest; guarded by mu_
  std::atomic<int32_t> length_{-1};
  std::atomic<int32_t> waiting_producers_{0};
};

}  // namespace tunora::engine
