// The background checksum pass: fills in the songs' missing `FileId` values and checks the
// stored ones, reading the local buffered copies where there are any. It holds the database
// (code 25) only while it reads a record, never while it computes a checksum; results go
// through the deferred update queue.
//
// Phases: the play list (when `HashStat` is below 51), random songs (below 1000, online: one
// song, then more while the statistic lies between 50 and 500), then verification of records in
// a cycle (the position kept in `HashStat` as 1000 + record number).
// `HashStat` rises by 1 for each song met with a `FileId` and falls by 10 for each computed one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/random_source.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "engine/thread_set.h"
#include "engine/update_writer.h"
#include "network/network_context.h"
#include "settings/settings.h"

namespace tunora::network {

inline constexpr int32_t kVerifyBase = 1000;
inline constexpr int32_t kFixedUserHashStat = 100000;

class ChecksumPass {
 public:
  ChecksumPass(engine::SharedLock& lock, engine::LibraryAccess& library, Settings& settings,
               NetworkContext& context, engine::PlayList& play_list, engine::UpdateWriter& writer,
               engine::RandomSource& random, engine::ThreadSet& threads,
               engine::StatusMessage& status)
      : lock_(lock),
        library_(library),
        settings_(settings),
        context_(context),
        play_list_(play_list),
        writer_(writer),
        random_(random),
        threads_(threads),
        status_(status) {}

  // The local buffer path of a network path, or empty when nothing is buffered.
  void setLocalPathOf(std::function<std::string(const std::string&)> local_path_of) {
    local_path_of_ = std::move(local_path_of);
  }
  // Starts the pass on a thread unless one runs.
  void startChecksumPass();
  // The pass's body.
  void run();
  // The status shows " (Hashing)" while it runs.
  bool running() const { return running_.load() != 0; }

 private:
  bool quitting() const;
  bool online() const;
  bool networkMode() const { return settings_.get(settings::kNetwork) != 0; }
  int32_t hashStat() const { return settings_.get(settings::kHashStat); }
  void addToHashStat(int32_t delta);
  // Checks one song by slot (or by path when slot < 0). False when the database was not had.
  bool checkSong(int32_t slot, const std::string& path);
  uint32_t checksumOf(const std::string& path) const;
  void verifyPhase();

  engine::SharedLock& lock_;
  engine::LibraryAccess& library_;
  Settings& settings_;
  NetworkContext& context_;
  engine::PlayList& play_list_;
  engine::UpdateWriter& writer_;
  engine::RandomSource& random_;
  engine::ThreadSet& threads_;
  engine::StatusMessage& status_;
  std::function<std::string(const std::string&)> local_path_of_;
  std::atomic<int32_t> running_{0};
};

}  // namespace tunora::network
