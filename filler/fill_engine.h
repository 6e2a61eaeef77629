// The fill: songs picked by the list builder in filler pick mode are copied into the output
// folder, one after another, until the size budget is used, the target's reserve is reached,
// every song that can be picked was copied, a copy fails, no song can be picked, or the fill is
// stopped. Each song is copied once; a pick of a song already copied is passed over. A file
// already in the folder is never replaced: a song whose name is taken gets a free one.
//
// Runs on the calling thread (the window's fill thread, or tunora-cli). Needs the program's
// builder, lock and settings to itself while it runs: the settings' filler block holds the
// choices, and the fill copies them into the running settings.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/list_builder.h"
#include "engine/shared_lock.h"
#include "filler/fill_files.h"
#include "network/network_context.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora::filler {

// The pause between two build passes without a pick.
inline constexpr int32_t kPassPauseMillis = 500;
// Passes in a row without a pick after which the fill gives up (about a minute of pauses): by
// then every eligible song has been drawn many times, so the filters, the song history or the
// pick balance keep every song out for good.
inline constexpr int kMaxEmptyPasses = 100;

// Picks in a row of songs this fill has copied already after which it ends: the songs not yet
// copied are not being picked (low ratings under a strict filter, or none left).
inline constexpr int kMaxRepeatPicks = 1000;

inline constexpr char kNoPickText[] =
    "No song can be picked (file types, naughty limit, minimum rating, or too few songs)";
inline constexpr char kStoppedText[] = "Fill stopped";

// What the window shows while a fill runs.
class FillReport {
 public:
  virtual ~FillReport() = default;
  virtual void setTitle(const std::string& title) = 0;
  // A song was copied to `target` (its size in bytes).
  virtual void fileCopied(const std::string& /*target*/, uint64_t /*bytes*/) {}
};

enum class FillEnd {
  kBudgetUsed,      // the file that reached the budget was copied
  kReserveReached,  // the next song would cut into the target's reserve
  kCopyFailed,      // a copy failed (source missing, disk full); `message` says which
  kNoPick,          // no song could be picked
  kAllCopied,       // every song that can be picked was copied (each song is copied once)
  kStopped,         // stopped between two files
  kNoLibrary,       // the library could not be opened or holds too few songs
};

struct FillResult {
  FillEnd end = FillEnd::kStopped;
  std::string message;  // why the fill ended, for the title and the terminal
  int files = 0;        // files this fill wrote (each a different song)
  uint64_t bytes = 0;   // their sizes
  // Songs saved under a free name ("NAME (2).mp3") because their name was taken in the folder.
  int renamed = 0;
  int stale_removed = 0;    // temporary files of killed fills removed from the folder first
  std::string flush_error;  // set when the written files could not be flushed
};

// The name tried for a song whose name `name` is taken, for the n-th try (n >= 2):
// "song (n).mp3"; the number goes before the last "." unless that starts the name.
std::string numberedName(const std::string& name, int n);

// The sentence that ends the fill's line in the window's title and on the terminal: the reason
// it ended, and the songs that were given a free name.
std::string fillSummary(const FillResult& result);

class FillEngine {
 public:
  // `library` is the builder's library access.
  FillEngine(engine::SharedLock& lock, engine::ListBuilder& builder, engine::LibraryAccess& library,
             Settings& settings, FillFiles& files, FillReport& report, Env& env);

  // Network mode: the fill's own local copy data directory + "Fill.mbf", refreshed at its first
  // opening (change counter 200) and deleted at the end. Without it Network mode is not set up.
  void setNetworkContext(network::NetworkContext* context, std::string data_directory);

  // Runs one fill with the filler block's choices into the filler block's output folder.
  FillResult run();

  // Ends a running fill between two files (any thread); asked before run(), the fill ends
  // before its first file. An engine runs one fill.
  void requestStop();

 private:
  // The next song's path; empty when none could be picked or the fill was stopped.
  std::string pick();
  bool stopped() const { return stop_.load() != 0; }
  void sleepChecking(int32_t millis);
  FillResult finish(FillResult result, const std::vector<std::string>& written,
                    const std::string& folder);

  engine::SharedLock& lock_;
  engine::ListBuilder& builder_;
  engine::LibraryAccess& library_;
  Settings& settings_;
  FillFiles& files_;
  FillReport& report_;
  Env& env_;
  network::NetworkContext* network_ = nullptr;
  std::string data_directory_;
  std::atomic<int32_t> stop_{0};
};

}  // namespace tunora::filler
