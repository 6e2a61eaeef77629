// The update writer.
#include "engine/update_writer.h"

#include <chrono>

#include "engine/lock_codes.h"
#include "library/song_columns.h"

namespace tunora::engine {

namespace {

constexpr int32_t kWriterPatience = 20;
// A writer that was refused waits 30 seconds, in steps, so that it notices a quit.
constexpr int kRefusedWaitSteps = 30;
constexpr std::chrono::seconds kRefusedWaitStep{1};
// During the quit: how long to wait for a running writer or a grant still held.
constexpr int kQuitWaitSteps = 50;
constexpr std::chrono::milliseconds kQuitWaitStep{100};
constexpr int32_t kLiveStatus = 10;

}  // namespace

int32_t UpdateWriter::queueUpdate(int32_t slot, int32_t column, uint32_t new_value,
                                  uint32_t old_value, uint32_t key) {
  int32_t length = queue_.push({key, slot, column, new_value, old_value});
  if (length < 0) return -1;
  if (length > kWriterStartLength && !running() &&
      lock_.words().build_request.load() == kBuildIdle) {
    (void)startWriterThread();
  }
  return 0;
}

bool UpdateWriter::startWriterThread() {
  return threads_.start([this] { runUpdateWriter(); });
}

bool UpdateWriter::startQuitWriterThread() {
  return threads_.start([this] { run(true); });
}

void UpdateWriter::runUpdateWriter() { run(lock_.words().request.load() == kQuitInProgress); }

void UpdateWriter::endQuit() {
  lock_.words().request.store(kQuitFinal);
  window_.postCommand(kCommandFinishQuit, 0);
}

void UpdateWriter::run(bool quitting) {
  SharedWords& words = lock_.words();
  Env& env = lock_.env();
  // The quit's writer lets a writer that still runs finish its pass first.
  for (int step = 0; quitting && running() && step < kQuitWaitSteps; ++step) {
    env.sleepFor(kQuitWaitStep);
  }
  if (running_.exchange(1) != 0) {
    if (quitting) {  // never leave the quit unfinished; writeLeftAfterQuit writes the entries
      quit_left_entries_.store(1);
      endQuit();
    }
    return;
  }
  status_.refresh();
  for (;;) {
    Grant grant =
        quitting ? takeGrantForQuit() : lock_.requestAndWait(kCodeUpdateWriter, 0, kWriterPatience);
    if (grant) {
      writeEntries(quitting);
      grant.release();
    } else if (quitting) {
      quit_left_entries_.store(1);  // the grant stayed held; writeLeftAfterQuit writes them
      break;
    } else {
      for (int step = 0; step < kRefusedWaitSteps; ++step) {
        if (isQuitCode(words.request.load()) || words.stopping.load() != 0) break;
        env.sleepFor(kRefusedWaitStep);
      }
    }
    if (queue_.length() <= 0 || words.abort.load() != 0 ||
        words.build_request.load() >= kOfflineStart || words.stopping.load() != 0) {
      break;
    }
    if (!quitting && isQuitCode(words.request.load())) break;  // the quit's writer takes over
  }
  (void)queue_.freeIfEmpty();
  running_.store(0);
  status_.refresh();
  if (quitting) endQuit();
}

Grant UpdateWriter::takeGrantForQuit() {
  // The supervisor has ended and no request is granted any more, but a holder may still be
  // finishing: the grant is taken only when it is free.
  for (int step = 0; step < kQuitWaitSteps; ++step) {
    Grant grant = lock_.takeGrantDirectly(kCodeUpdateWriter);
    if (grant || lock_.words().stopping.load() != 0) return grant;
    lock_.env().sleepFor(kQuitWaitStep);
  }
  return {};
}

void UpdateWriter::writeLeftAfterQuit() {
  if (quit_left_entries_.exchange(0) == 0 || queue_.length() <= 0) return;
  writeAlone();
  (void)queue_.freeIfEmpty();
}

void UpdateWriter::writeAlone() {
  if (!library_.openLibraryForWriting()) return;
  marlbase::TableHandle& table = library_.table();
  while (std::optional<QueuedUpdate> entry = queue_.takeOldest()) {
    std::optional<uint32_t> file_id = table.readInt(entry->slot, kColFileId);
    if (table.getStatus(entry->slot) == kLiveStatus && file_id && *file_id == entry->key) {
      (void)table.writeInt(entry->slot, entry->column, entry->new_value);
    }
  }
  library_.closeLibraryAfterWriting();
}

bool UpdateWriter::keepWriting(bool quitting) const {
  const SharedWords& words = lock_.words();
  return queue_.waitingProducers() == 0 && (quitting || words.request.load() == 0) &&
         words.abort.load() == 0 && words.stopping.load() == 0;
}

void UpdateWriter::writeEntries(bool quitting) {
  if (!library_.openLibraryForWriting()) return;
  marlbase::TableHandle& table = library_.table();
  while (keepWriting(quitting)) {
    std::optional<QueuedUpdate> entry = queue_.takeOldest();
    if (!entry) break;
    // A slot that was reused since holds another FileId: the update is dropped.
    std::optional<uint32_t> file_id = table.readInt(entry->slot, kColFileId);
    if (table.getStatus(entry->slot) == kLiveStatus && file_id && *file_id == entry->key) {
      (void)table.writeInt(entry->slot, entry->column, entry->new_value);
    }
  }
  library_.closeLibraryAfterWriting();
}

}  // namespace tunora::engine
