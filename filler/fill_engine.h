// The fill: songs picked by the list builder in filler pick mode are copied into the output
// folder, one after another, until the size budget is used, the target's reserve is reached, a
// copy fails, no song can be picked, or the fill is stopped.
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
  kStopped,         // stopped between two files
  kNoLibrary,       // the library could not be opened or holds too few songs
};

struct FillResult {
  FillEnd end = FillEnd::kStopped;
  std::string message;  // why the fill ended, for the title and the terminal
  int files = 0;
  uint64_t bytes = 0;
  std::string flush_error;  // set when the written files could not be flushed
};

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
