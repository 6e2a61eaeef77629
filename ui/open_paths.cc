// Importing and playing handed-over paths.
#include "ui/open_paths.h"

#include <chrono>

#include "import/import.h"

namespace tunora::ui {
namespace {

// The import's status lines have no box to go to here; the status bar shows the new count.
class StatusBarImport final : public media::ImportStatus {
 public:
  explicit StatusBarImport(engine::StatusMessage& status) : status_(status) {}
  void setLine1(const std::string&) override {}
  void setLine2(const std::string&) override {}
  void refreshWindow() override { status_.refresh(); }

 private:
  engine::StatusMessage& status_;
};

constexpr int kOpenAttempts = 20;
constexpr std::chrono::milliseconds kOpenRetryWait{100};

}  // namespace

std::string openHandedPaths(const OpenPathsParts& parts, const std::vector<std::string>& paths) {
  if (paths.empty()) return {};
  StatusBarImport lines(parts.top.status);
  media::Importer importer(parts.top.lock, parts.table, parts.top.settings, lines,
                           parts.local_copy_changes);
  engine::SharedLock& lock = parts.top.lock;
  // The request word is often taken for a moment (the player's, the builder's requests): a
  // request that could not be posted or granted is made again, a bounded number of times.
  bool imported = false;
  for (int attempt = 0; attempt < kOpenAttempts && !imported; ++attempt) {
    if (lock.words().stopping.load() != 0 || lock.words().build_request.load() > 999) break;
    if (attempt > 0) lock.env().sleepFor(kOpenRetryWait);
    imported = importer.runImportOfPaths(paths);
  }
  std::string first = imported ? importer.firstSong() : std::string();
  // Offline (no import) a song the library knows still plays.
  if (first.empty() && media::handedPathKind(paths.front()) == media::HandedPathKind::kMediaFile) {
    first = paths.front();
  }
  if (first.empty()) return {};
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (lock.words().stopping.load() != 0) return {};
    if (attempt > 0) lock.env().sleepFor(kOpenRetryWait);
    if (putSongAtTop(parts.top, first)) {
      parts.channel.postCommand(playAtOnceCommand(lock.words()), 0);
      return first;
    }
  }
  return {};
}

}  // namespace tunora::ui
