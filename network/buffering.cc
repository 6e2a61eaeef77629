// The buffer table and buffer passes.
#include "network/buffering.h"

#include <sys/stat.h>
#include <unistd.h>

#include "engine/lock_codes.h"
#include "network/buffer_paths.h"

namespace tunora::network {

namespace {
constexpr uint32_t kIntegerColumn = 2;  // 4-byte integer
constexpr uint32_t kPathColumn = 14;    // 1000-byte text
}  // namespace

Buffering::Buffering(std::string folder, Settings& settings, engine::SharedWords& words,
                     engine::PlayList& play_list, engine::StatusMessage& status, Env& env,
                     engine::ThreadSet& threads, FileCopier& copier)
    : folder_(std::move(folder)),
      media_folder_(folder_.empty() ? "" : folder_ + kMediaFolderName),
      table_path_(folder_.empty() ? "" : folder_ + kBufferTableName),
      settings_(settings),
      words_(words),
      play_list_(play_list),
      status_(status),
      env_(env),
      threads_(threads),
      copier_(copier) {}

std::string Buffering::localBufferPath(const std::string& network_path) const {
  return network::localBufferPath(media_folder_, network_path);
}

int32_t Buffering::level() const { return settings_.get(settings::kBufferLevel); }
void Buffering::setLevel(int32_t level) { settings_.set(settings::kBufferLevel, level); }

bool Buffering::createTable() {
  table_.setPath(table_path_);
  table_.setColumnCount(kBufferColumns);
  if (!table_.create().ok()) return false;
  bool ok = table_.defineColumn(1, kPathColumn);
  for (int32_t c = 2; c <= kBufferColumns; ++c) ok = ok && table_.defineColumn(c, kIntegerColumn);
  ok = ok && table_.finishColumns();
  table_.close();
  if (!ok) return false;
  table_.setWritable(true);
  if (!table_.open().ok()) return false;
  const int32_t slots = std::max(settings_.get(settings::kBufferSize), kMinimumBufferSize);
  for (int32_t i = 0; i < slots && ok; ++i) {
    const int32_t slot = table_.allocate();
    ok = slot >= 0 && table_.writeText(slot, 1, "") && table_.writeInt(slot, 3, 0);
  }
  settings_.set(settings::kBufferSize, table_.liveCount());
  table_.close();
  return ok;
}

void Buffering::trimTo(int32_t slots) {
  while (table_.liveCount() >= slots && table_.liveCount() > 0) {
    int32_t slot = table_.lastLive();
    if (slot < 0) slot = 0;  // only slot 0 is left
    const std::string path = table_.readText(slot, 1).value_or("");
    if (!path.empty()) (void)deleteLocalCopy(media_folder_, path);
    if (table_.setStatus(slot, marlbase::kStatusDeleted) != 1) return;
  }
}

void Buffering::setUpBuffer(bool start_pass) {
  if (folder_.empty()) return;
  const bool on = settings_.get(settings::kBuffer) != 0;
  {
    std::lock_guard lock(table_mu_);
    (void)createFoldersFor("/", media_folder_);  // every missing folder down to Media/
    table_.setPath(table_path_);
    table_.setWritable(true);
    if (!table_.open().ok()) {
      if (!createTable()) return;
    } else if (on) {
      int32_t size = std::max(settings_.get(settings::kBufferSize), kMinimumBufferSize);
      if (table_.liveCount() > size) {
        trimTo(size - 1);
      }
      while (table_.liveCount() < size) {
        const int32_t slot = table_.allocate();
        if (slot < 0 || !table_.writeText(slot, 1, "") || !table_.writeInt(slot, 3, 0)) break;
      }
      settings_.set(settings::kBufferSize, table_.liveCount());
      table_.close();
    } else {
      trimTo(0);
      table_.close();
      (void)::unlink(table_path_.c_str());
      state_.store(kBufferOff);
      status_.refresh();
      return;
    }
  }
  if (on && start_pass) (void)threads_.start([this] { bufferPass(); });
}

bool Buffering::stopPass() const {
  const int32_t request = words_.request.load();
  return words_.stopping.load() != 0 || request == engine::kQuitInProgress ||
         request == engine::kQuitFinal || request == engine::kQuitRequested ||
         request == engine::kCodeStateSwitch || settings_.get(settings::kBuffer) == 0;
}

bool Buffering::copyIn(const std::string& network_path) {
  const std::string local = safeLocalBufferPath(media_folder_, network_path);
  if (local.empty()) return false;
  CopyTraffic traffic;
  if (copier_.copyFile(network_path, local, traffic, nullptr)) return true;
  if (!createFoldersFor(media_folder_, local)) return false;
  if (safeLocalBufferPath(media_folder_, network_path) != local) return false;
  return copier_.copyFile(network_path, local, traffic, nullptr);
}

void Buffering::restartAfterStateSwitch() {
  setLevel(0);
  if (settings_.get(settings::kBuffer) == 0 || folder_.empty()) return;
  pass_again_.store(1);
  (void)threads_.start([this] { bufferPass(); });
}

void Buffering::bufferPass() {
  for (;;) {
    int32_t idle = 0;
    // A pass that runs sees pass_again_ when it ends and goes once more.
    if (!pass_running_.compare_exchange_strong(idle, 1)) return;
    pass_again_.store(0);
    runPass();
    pass_running_.store(0);
    if (pass_again_.load() == 0 || words_.stopping.load() != 0) return;
  }
}

void Buffering::runPass() {
  int32_t failures = 2;
  if (play_list_.size() > 5) {
    std::lock_guard lock(table_mu_);
    setLevel(0);
    failures = 0;
    state_.store(kBuffering);
    status_.refresh();
    table_.setPath(table_path_);
    table_.setWritable(true);
    if (table_.open().ok()) {
      const int32_t limit = std::min(play_list_.size(), table_.liveCount());
      uint32_t run_stamp = stampNow() + 500;
      for (int32_t row = 0; row < limit && failures <= kMaxPassFailures && !stopPass(); ++row) {
        const auto entry = play_list_.row(row);
        if (!entry) break;
        const std::string& path = (*entry)[engine::kFileNameColumn];
        table_.setSearchKey(path);
        const int32_t held = table_.findInColumnFrom(0, 1);  // slot 0 is a slot too
        if (held >= 0) {
          const uint32_t stamp = table_.readInt(held, 3).value_or(0);
          if (stamp < kStampCap) (void)table_.writeInt(held, 3, stamp + 100);
          continue;
        }
        int32_t victim = -1;
        uint32_t lowest = 0;
        for (int32_t slot = table_.nthLive(1); slot >= 0;) {
          const uint32_t stamp = table_.readInt(slot, 3).value_or(0);
          if (stamp < run_stamp && (victim < 0 || stamp < lowest)) {
            victim = slot;
            lowest = stamp;
          }
          const int32_t next = table_.nextLive(slot);
          slot = next == slot ? -1 : next;
        }
        if (victim < 0) {
          for (int32_t slot = table_.nthLive(1); slot >= 0;) {
            const uint32_t stamp = table_.readInt(slot, 3).value_or(0);
            if (stamp > kStampFloor) (void)table_.writeInt(slot, 3, stamp - 1000);
            const int32_t next = table_.nextLive(slot);
            slot = next == slot ? -1 : next;
          }
          ++failures;
          continue;
        }
        if (!copyIn(path)) {
          ++failures;
          continue;
        }
        if (failures > 0) --failures;
        const std::string old = table_.readText(victim, 1).value_or("");
        if (!old.empty()) (void)deleteLocalCopy(media_folder_, old);
        (void)table_.writeText(victim, 1, path);
        (void)table_.writeInt(victim, 3, run_stamp);
        run_stamp = stampNow() - 1;
        row = -1;  // start again at the first row
      }
      table_.close();
    }
  }
  finish(failures);
}

void Buffering::finish(int32_t failures) {
  const bool first = passes_.fetch_add(1) == 0;
  if (settings_.get(settings::kBuffer) == 0) {
    state_.store(kBufferOff);
    pass_running_.store(0);
    setUpBuffer();
    return;
  }
  if (failures <= kMaxPassFailures) {
    state_.store(play_list_.size() > settings_.get(settings::kBufferSize) ? kPartiallyBuffered
                                                                          : kBuffered);
    setLevel(100);
  } else {
    state_.store(kBufferFailed);
    setLevel(0);
  }
  status_.refresh();
  if (first) {
    if (after_first_pass_) after_first_pass_();
  } else if (settings_.get(settings::kShutdown) != 0 && settings_.get(settings::kAutoBuild) != 0 &&
             words_.playing.load() == 0 && shutdown_) {
    shutdown_();
  }
}

}  // namespace tunora::network
