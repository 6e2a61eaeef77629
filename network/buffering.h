// Buffering songs to the local drive: the buffer table "LocFiles.mbf" records which network
// file sits in each of `BufferSize` slots and how recently it was wanted (its stamp); a buffer
// pass copies the songs next on the play list into the media folder, reusing the slots with the
// lowest stamps.
//
// Buffer table: a table file with 5 columns, one record per slot: 1 text (type 14) = the network
// path in the slot ("" when free); 2 integer, unused; 3 integer = stamp (0 when free); 4 and 5
// integers, unused. A stamp is the low 32 bits of the current time in 100-ns units since 1601.
//
// Buffer state: 50 a pass runs, 11 partially buffered (the list is longer than the buffer), 10
// buffered, 12 the player fell back to the network file, 1 the pass ended after too many
// failures, 0 off or not started. Buffer level (settings `BufferLevel`): 100 after a good pass,
// 0 when a pass is wanted.
//
// setUpBuffer and bufferPass may run on any thread; one pass runs at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "engine/play_list.h"
#include "engine/shared_words.h"
#include "engine/status_message.h"
#include "engine/thread_set.h"
#include "marlbase/table_handle.h"
#include "network/share_files.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora::network {

inline constexpr int32_t kBufferOff = 0;
inline constexpr int32_t kBufferFailed = 1;
inline constexpr int32_t kBuffered = 10;
inline constexpr int32_t kPartiallyBuffered = 11;
inline constexpr int32_t kUnbuffered = 12;
inline constexpr int32_t kBuffering = 50;
inline constexpr int32_t kMinimumBufferSize = 50;
inline constexpr int32_t kBufferColumns = 5;
inline constexpr int32_t kMaxPassFailures = 10;
inline constexpr uint32_t kStampCap = 40'000'000;
inline constexpr uint32_t kStampFloor = 5'000'000;

class Buffering {
 public:
  // `folder`: the buffer folder (bufferFolder()), ending in "/".
  Buffering(std::string folder, Settings& settings, engine::SharedWords& words,
            engine::PlayList& play_list, engine::StatusMessage& status, Env& env,
            engine::ThreadSet& threads, FileCopier& copier);

  // Prepares the folders and the buffer table for the current settings; with "Buffer" on starts
  // a buffer pass on a thread of the program (unless `start_pass` is false), with it off removes
  // the buffer.
  void setUpBuffer(bool start_pass = true);
  // One pass over the play list. When a restart was asked for while it ran, another follows.
  void bufferPass();
  // After a change of listening state: the buffer level becomes 0 and, with "Buffer" on, a pass
  // over the new list starts on a thread of the program (a pass that is running then runs once
  // more, since it may have stopped for the switch or gone over the old list).
  void restartAfterStateSwitch();
  // Called after the first pass after start-up (the checksum pass), and after a later pass when
  // shutdown after a build is due.
  void setAfterFirstPass(std::function<void()> hook) { after_first_pass_ = std::move(hook); }
  void setShutdownAfterBuild(std::function<void()> hook) { shutdown_ = std::move(hook); }

  const std::string& mediaFolder() const { return media_folder_; }
  const std::string& tablePath() const { return table_path_; }
  std::string localBufferPath(const std::string& network_path) const;

  int32_t state() const { return state_.load(); }
  void setState(int32_t state) { state_.store(state); }
  int32_t level() const;
  void setLevel(int32_t level);

  // Whether a buffer pass runs now (any thread).
  bool passRunning() const { return pass_running_.load() != 0; }

 private:
  bool createTable();
  void trimTo(int32_t slots);
  bool stopPass() const;
  // Copies a song into the buffer; false when it could not.
  bool copyIn(const std::string& network_path);
  uint32_t stampNow() { return static_cast<uint32_t>(env_.fileTimeNow()); }
  void finish(int32_t failures);
  void runPass();

  std::string folder_;
  std::string media_folder_;
  std::string table_path_;
  Settings& settings_;
  engine::SharedWords& words_;
  engine::PlayList& play_list_;
  engine::StatusMessage& status_;
  Env& env_;
  engine::ThreadSet& threads_;
  FileCopier& copier_;
  std::function<void()> after_first_pass_;
  std::function<void()> shutdown_;

  std::mutex table_mu_;  // the buffer table's handle
  marlbase::TableHandle table_;
  std::atomic<int32_t> state_{kBufferOff};
  std::atomic<int32_t> pass_running_{0};
  std::atomic<int32_t> pass_again_{0};
  std::atomic<int32_t> passes_{0};
};

}  // namespace tunora::network
