// The list builder: build passes that draw songs from the library for the current listener and
// append each pick to the play list, and the builder thread that runs them.
//
// A pass holds the shared lock under code 34, opens the song table for writing, draws until one
// song is picked, the draw budget (`BuildTime`) is spent, or another thread asks for the
// database, and closes the table again. The builder thread runs passes while the build-request
// word asks for them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/song_draw.h"
#include "engine/status_message.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora::engine {

class RandomSource;

// A library with fewer live songs than this is never built from.
inline constexpr int32_t kMinimumSongsToBuild = 20;
// The highest draw budget (`BuildTime`) of a pass. The builder raises the budget by 100 after
// every quick pick; unbounded, a long run of quick picks (a build of 20,000 songs) made a later
// pass with a strict filter draw two million times (16 s) before it gave up, and the raise
// overflowed near INT32_MAX. 10,000 draws, twenty times the starting budget, take well under a
// tenth of a second; a budget read from a settings file above it counts as 10,000 and comes down
// to it at the next quick pick.
inline constexpr int32_t kMaxBuildTime = 10'000;
// Whether a library of `live_songs` songs is big enough for the builder to pick from.
constexpr bool enoughSongsToBuild(int32_t live_songs) { return live_songs >= kMinimumSongsToBuild; }

inline constexpr char kDeepBuildingText[] = "Tunora Deep Building";
inline constexpr char kNoFileSelectedText[] = "No file selected";
inline constexpr char kCannotOpenListText[] = "Cannot open list";
// Another program replaced or cut the library file while a pass had it open.
inline constexpr char kLibraryChangedText[] = "the library changed on disk";

// What the builder asks of the parts that come later (buffering, the checksum pass, shutdown
// after a build). The defaults do nothing.
class BuilderHooks {
 public:
  virtual ~BuilderHooks() = default;
  // The buffer state is not 0 (Network mode buffers the next songs).
  virtual bool bufferingOn() { return false; }
  // Sets the buffer level to 0 so the builder thread's next cycle runs a buffer pass.
  virtual void resetBufferLevel() {}
  // A buffer pass is wanted (level below 5, state 10) and one runs on the builder thread.
  virtual bool bufferPassWanted(int32_t /*songs_prepared*/) { return false; }
  virtual void runBufferPass() {}
  // More than 50 deferred updates wait and the writer is not running.
  virtual bool updateWriterWanted() { return false; }
  virtual void runUpdateWriter() {}
  // The checksum pass should start (its statistic is 0 and it is not running).
  virtual bool checksumPassWanted() { return false; }
  virtual void startChecksumPass() {}
  // Shutdown and AutoBuild are on and nothing plays: the shutdown-after-build thread starts.
  virtual void startShutdownAfterBuild() {}
};

class ListBuilder {
 public:
  ListBuilder(SharedLock& lock, LibraryAccess& library, Settings& settings, PlayList& play_list,
              StatusMessage& status, RandomSource& random, Env& env, BuilderHooks& hooks);

  // The data directory (ending in "/") where a full list is written to the state's play-list
  // file; empty (the default) writes no file. Set before the builder runs.
  void setDataDirectory(std::string directory) { data_directory_ = std::move(directory); }

  // One build pass (requests the lock with code 34, patience 10).
  void runBuildPass();
  // One build pass under a grant the caller already holds (the media filler and the command-line
  // builder, which run without a request executor).
  void runBuildPassHolding(const Grant& grant);
  // Appends the latest pick (the front of the song history) to the play list.
  void addPickToPlayList();
  // The builder thread's loop; returns at a quit (request word 665 or 666) or when the program
  // stops.
  void runThread();

  BuilderMemory& memory() { return memory_; }
  // Filler pick mode: a pick sets the build-request word to 2 instead of adding a row.
  void setFillerPickMode(bool on) { filler_pick_mode_ = on; }
  // "Work Pos" of the Internals window.
  int32_t stage() const { return stage_.load(); }
  // The pick balance after the latest pick, for the Internals window (any thread).
  int32_t pickBalance() const { return pick_balance_.load(); }
  // 1 while a pass runs (the status bar shows the building state), 2 while a pass ends after a
  // failed opening.
  int32_t busy() const { return busy_.load(); }
  // Set when the builder left a message in the status text; the status bar clears it.
  std::atomic<int32_t>& messageFlag() { return message_flag_; }

 private:
  void passUnderGrant();
  // Draws until a pick, the budget, a request or an abort. Returns true on a pick.
  bool drawUntilPick(const DrawRules& rules);
  bool quitting() const;
  void sleepChecking(int32_t millis);

  SharedLock& lock_;
  SharedWords& words_;
  LibraryAccess& library_;
  Settings& settings_;
  PlayList& play_list_;
  StatusMessage& status_;
  RandomSource& random_;
  Env& env_;
  std::string data_directory_;
  BuilderHooks& hooks_;

  BuilderMemory memory_;
  std::atomic<int32_t> busy_{0};
  std::atomic<int32_t> append_busy_{0};
  std::atomic<int32_t> message_flag_{0};
  std::atomic<int32_t> stage_{0};
  std::atomic<int32_t> pick_balance_{50};
  bool filler_pick_mode_ = false;
};

}  // namespace tunora::engine
