// The program's threads.
#include "engine/thread_set.h"

#include <algorithm>
#include <utility>

namespace tunora::engine {

bool ThreadSet::start(std::function<void()> body) {
  std::lock_guard lock(mu_);
  if (closed_) return false;
  joinEnded();
  auto done = std::make_shared<std::atomic<bool>>(false);
  running_.fetch_add(1);
  std::thread thread([this, body = env_.enterThread(std::move(body)), done] {
    body();
    running_.fetch_sub(1);
    done->store(true);
  });
  entries_.push_back({std::move(thread), std::move(done)});
  return true;
}

void ThreadSet::joinEnded() {
  // A thread marked done has left its body; join returns at once or nearly so.
  auto ended = std::partition(entries_.begin(), entries_.end(),
                              [](const Entry& e) { return !e.done->load(); });
  for (auto it = ended; it != entries_.end(); ++it) it->thread.join();
  entries_.erase(ended, entries_.end());
}

void ThreadSet::closeAndJoin() {
  std::vector<Entry> entries;
  {
    std::lock_guard lock(mu_);
    closed_ = true;
    entries.swap(entries_);
  }
  for (Entry& e : entries) e.thread.join();
}

}  // namespace tunora::engine
