// Network mode's library opening.
#include "network/local_copy_library.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "marlbase/file_lock.h"

namespace tunora::network {
namespace {

// Forwards to the program's copier and counts the bytes that cross the share.
class ShareCounter final : public FileCopier {
 public:
  ShareCounter(FileCopier& inner, std::string share, CopyTraffic& share_traffic)
      : inner_(inner), share_(std::move(share)), share_traffic_(share_traffic) {}
  bool copyFile(const std::string& from, const std::string& to, CopyTraffic& traffic,
                BlockHashes* hashes) override {
    CopyTraffic t;
    const bool ok = inner_.copyFile(from, to, t, hashes);
    note(from, to, t, traffic);
    return ok;
  }
  bool writeChangedBlocks(const std::string& from, const std::string& to, BlockHashes& hashes,
                          CopyTraffic& traffic) override {
    CopyTraffic t;
    const bool ok = inner_.writeChangedBlocks(from, to, hashes, t);
    note(from, to, t, traffic);
    return ok;
  }

 private:
  void note(const std::string& from, const std::string& to, const CopyTraffic& t,
            CopyTraffic& traffic) {
    traffic.read += t.read;
    traffic.written += t.written;
    if (from == share_) share_traffic_.read += t.read;
    if (to == share_) share_traffic_.written += t.written;
  }
  FileCopier& inner_;
  std::string share_;
  CopyTraffic& share_traffic_;
};

}  // namespace

int32_t changeCounter(NetworkContext& context) { return context.network_refresh_counter.load(); }

void setChangeCounter(NetworkContext& context, int32_t value) {
  context.network_refresh_counter.store(value);
}

void LocalCopyLibrary::openLibraryForReading() {
  // Counted before the test, so that the fifty read-opens after a refresh use the copy and the
  // fifty-first refreshes it.
  std::atomic<int32_t>& counter = context_.network_refresh_counter;
  if (counter.fetch_add(1) + 1 > kRefreshAbove && online()) {
    backUpLocalCopy();
    if (refresh()) {
      counter.store(0);
    } else {
      goOffline();
    }
  }
  table_.setPath(localPath());
  table_.setWritable(false);
  if (!table_.open().ok()) {
    table_.setPath(networkPath());
    table_.setWritable(false);
    (void)table_.open();
  }
  if (!table_.isOpen()) {
    ui::showError(dialogs_, kCannotOpenBothText);
    return;
  }
  last_live_count_ = table_.liveCount();
}

bool LocalCopyLibrary::openLibraryForWriting() {
  if (!online()) {
    goOffline();  // a locked offline state turns into the counting one
    return false;
  }
  if (refresh()) setChangeCounter(context_, 0);  // a failed refresh does not stop the edit
  if (!takeNetworkLock()) {
    goOffline();
    return false;
  }
  table_.setPath(localPath());
  table_.setWritable(true);
  if (!table_.open().ok()) {
    releaseNetworkLock();
    goOffline();
    return false;
  }
  local_at_sync_ = FileStamp{};  // the copy is being edited
  return true;
}

void LocalCopyLibrary::closeLibraryAfterWriting() {
  table_.close();
  if (lock_fd_ < 0) return;
  // The lock is kept through the write-back, so no other computer reads or edits a file that
  // is half written.
  writeBack();
  releaseNetworkLock();
}

void LocalCopyLibrary::backUpLocalCopy() {
  const std::string backup = localPath() + "." + std::to_string(last_live_count_);
  const FileStamp local = stampOf(localPath());
  if (!local.exists) return;
  if (quick_paths_ && backup == last_backup_ && local == local_at_backup_ &&
      stampOf(backup).exists) {
    return;  // the backup already holds this content
  }
  CopyTraffic traffic;
  if (copier_.copyFile(localPath(), backup, traffic, nullptr)) {
    last_backup_ = backup;
    local_at_backup_ = local;
  } else {
    last_backup_.clear();
  }
}

bool LocalCopyLibrary::refresh() {
  if (quick_paths_ && inSync()) return true;
  // A shared lock on the share's file while it is read: a computer that edits it holds the
  // exclusive lock, and its file is then not read half written.
  const std::string network = networkPath();
  const int fd = ::open(network.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = false;
  if (marlbase::lockWholeFile(fd, marlbase::LockKind::kShared)) {
    CopyTraffic traffic;
    ShareCounter counter(copier_, network, share_traffic_);
    CopyContext context{counter, dialogs_, settings_.get(settings::kSizeCheck) != 0,
                        traffic, {},       &hashes_};
    hashes_ = BlockHashes{};
    ok = copyVerified(network, localPath(), kRefreshMode, context);
  }
  ::close(fd);
  if (ok) {
    noteInSync(false);
  } else {
    network_at_sync_ = FileStamp{};
    hashes_ = BlockHashes{};
  }
  return ok;
}

bool LocalCopyLibrary::takeNetworkLock() {
  releaseNetworkLock();
  // An exclusive open-file-description lock needs a descriptor open for writing.
  const std::string network = networkPath();
  const int fd = ::open(network.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  if (!marlbase::lockWholeFile(fd, marlbase::LockKind::kExclusive)) {
    ::close(fd);
    return false;
  }
  lock_fd_ = fd;
  return true;
}

void LocalCopyLibrary::releaseNetworkLock() {
  if (lock_fd_ < 0) return;
  ::close(lock_fd_);  // closing the descriptor drops its lock
  lock_fd_ = -1;
}

void LocalCopyLibrary::writeBack() {
  const std::string network = networkPath();
  CopyTraffic traffic;
  ShareCounter counter(copier_, network, share_traffic_);
  BlockHashes whole;
  CopyContext context{counter, dialogs_, settings_.get(settings::kSizeCheck) != 0,
                      traffic, {},       &whole};
  if (quick_paths_ && hashes_.size >= 0 && network_at_sync_.exists &&
      stampOf(network) == network_at_sync_) {
    context.quick_attempt = [&] {
      return counter.writeChangedBlocks(localPath(), network, hashes_, traffic);
    };
  }
  if (copyVerified(localPath(), network, kWriteBackMode, context)) {
    if (whole.size >= 0) hashes_ = std::move(whole);
    markOurWrite();
    noteInSync(true);
  } else {
    // The share's file is in an unknown state: the next refresh copies it whole.
    network_at_sync_ = FileStamp{};
    hashes_ = BlockHashes{};
  }
}

// The share's file gets a modification time whose nanoseconds we chose, under the network lock:
// a later write by another computer sets the file system's own time, which differs from ours
// even within one tick of a coarse file-system clock.
void LocalCopyLibrary::markOurWrite() {
  if (lock_fd_ < 0) return;
  mark_ ^= mark_ << 13;
  mark_ ^= mark_ >> 7;
  mark_ ^= mark_ << 17;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(unixNanosFromFileTime(env_.fileTimeNow()) / 1'000'000'000);
  times[1].tv_nsec = static_cast<long>(mark_ % 1'000'000'000);
  (void)::futimens(lock_fd_, times);
}

void LocalCopyLibrary::noteInSync(bool we_wrote) {
  network_at_sync_ = stampOf(networkPath());
  local_at_sync_ = stampOf(localPath());
  if (we_wrote) return;
  // A file written by another computer within the last seconds might be written again within
  // the same tick of the file-system clock, leaving an equal stamp: such a stamp is not trusted.
  const int64_t now_ns = unixNanosFromFileTime(env_.fileTimeNow());
  if (network_at_sync_.mtime_ns > now_ns - kRacyWindowNs) network_at_sync_ = FileStamp{};
}

bool LocalCopyLibrary::inSync() const {
  return network_at_sync_.exists && local_at_sync_.exists &&
         stampOf(networkPath()) == network_at_sync_ && stampOf(localPath()) == local_at_sync_;
}

}  // namespace tunora::network
