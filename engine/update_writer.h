// The update writer: applies the deferred update queue to the song table under lock code 27,
// and the producers' entry point `queueUpdate`, which starts the writer when the queue fills up.
// At the quit the writer runs once more, alone, and then ends the quit (request word 666,
// command 2031 to the window).
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/library_access.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "engine/thread_set.h"
#include "engine/update_queue.h"
#include "engine/window_channel.h"

namespace tunora::engine {

// Above this length queueUpdate starts the writer.
inline constexpr int32_t kWriterStartLength = 150;

class UpdateWriter {
 public:
  UpdateWriter(SharedLock& lock, UpdateQueue& queue, LibraryAccess& library, WindowChannel& window,
               ThreadSet& threads, StatusMessage& status)
      : lock_(lock),
        queue_(queue),
        library_(library),
        window_(window),
        threads_(threads),
        status_(status) {}

  // Queues a change of one field: 0 queued, -1 when the queue is full. When the queue then holds
  // more than 150 entries, the writer is idle and no build runs, starts the writer thread.
  int32_t queueUpdate(int32_t slot, int32_t column, uint32_t new_value, uint32_t old_value,
                      uint32_t key);

  // The writer's body (on its own thread or on the builder thread). Returns at once when a
  // writer already runs. Takes grant 27, writes the oldest entries first (an entry whose slot
  // now holds another record, by its FileId, is dropped), gives the lock up as soon as another
  // request waits, and repeats until the queue is empty, the abort flag is set, the library is
  // offline or a quit begins. Started during a quit (request word 665), it waits for a writer
  // that still runs, writes with the grant taken directly, then sets the request word to 666
  // and posts command 2031.
  //
  // The quit's writer waits at most 5 s (50 x 100 ms) for a writer that still runs (one asleep
  // in its 10-second wait before posting, or opening a slow share), and as long for a grant
  // still held. When either is still busy then, it ends the quit without writing, so the
  // window can close. Nothing queued is lost by that: the entries stay in the queue, and
  // writeLeftAfterQuit, called once every thread has stopped, writes them.
  void runUpdateWriter();
  // After the quit's writer ended the quit without writing and every thread of the program has
  // stopped (no thread holds or waits for the lock any more): writes what the queue still holds.
  // Does nothing otherwise; a quit with 5 or fewer entries drops them, as it always does.
  void writeLeftAfterQuit();
  // Whether the quit's writer ended the quit without writing.
  bool quitLeftEntries() const { return quit_left_entries_.load() != 0; }

  // Starts runUpdateWriter on a thread of the program ("Write cached edits").
  bool startWriterThread();
  // Starts the quit's writer on a thread of the program: it ends the quit even when it cannot
  // write. False when no thread could be started (the caller then ends the quit itself).
  bool startQuitWriterThread();

  bool running() const { return running_.load() != 0; }

 private:
  void run(bool quitting);
  void endQuit();
  Grant takeGrantForQuit();
  void writeEntries(bool quitting);
  bool keepWriting(bool quitting) const;
  // Writes the queue to the end; no other thread runs.
  void writeAlone();

  SharedLock& lock_;
  UpdateQueue& queue_;
  LibraryAccess& library_;
  WindowChannel& window_;
  ThreadSet& threads_;
  StatusMessage& status_;
  std::atomic<int32_t> running_{0};
  std::atomic<int32_t> quit_left_entries_{0};
};

}  // namespace tunora::engine
