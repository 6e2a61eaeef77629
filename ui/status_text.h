// The four texts of the status bar, recomposed from the shared state each time.
//
//   0: "Tunora Quiting" (quit requested) / "Tunora Building" (test mode: ", " and the builder's
//      pass counter) / "Tunora Playing" / "Tunora Ready"; then " (Un-Buffered)" once (buffer
//      state 12 becomes 10); in test mode the spinner " /", " -", " \", " |" by quarters of
//      0..100; then ", " and the status message when one waits (shown once).
//   1: only while the songs-prepared count is below 9999 (else the part keeps its text): the
//      count and " songs prepared"; with "Buffer" on: " (Buffering)" (50), " (Partially
//      Buffered)" (11; then with chance 1 in 6 the state becomes 10), " Buffer Error" (0),
//      " (Buffered)" (other).
//   2: "DB Offline" when the build-request word is 1000..1999; "Library not found" while the
//      library's file is missing (the library-missing word); else the library's songs (the live
//      records less the blank first one) and " entries", " (Hashing)" while the checksum pass runs,
//      " (Clearing Cache)" while the update writer runs, " (Not Saved)" while the data folder is
//      read-only (nothing is saved).
//   3: "User " and the state user's name; ", <alt name> Mode" when an alt mode is set;
//      ", Edit locked to <name>" with a fixed user; test mode: ", <writer stage>, <marker>".
// Example: "Tunora Playing", "37 songs prepared (Buffered)", "5210 entries",
// "User Anna, Party Mode".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/play_list.h"
#include "engine/random_source.h"
#include "engine/shared_words.h"
#include "engine/status_message.h"
#include "settings/settings.h"

namespace tunora::ui {

inline constexpr int32_t kStatusParts = 4;
inline constexpr char kLibraryMissingText[] = "Library not found";
inline constexpr char kReadOnlyRemark[] = " (Not Saved)";
using StatusTexts = std::array<std::optional<std::string>, kStatusParts>;  // nullopt: keep

// What the status bar reads besides the shared words, the settings and the play list.
// Implementations read their sources without locking the database; any thread.
class StatusSources {
 public:
  virtual ~StatusSources() = default;
  virtual bool building() = 0;          // a build pass runs
  virtual int32_t builderPasses() = 0;  // shown in test mode
  virtual int32_t bufferState() = 0;    // 0 error, 10, 11, 12, 50
  virtual void setBufferState(int32_t state) = 0;
  virtual int32_t liveRecords() = 0;   // live records of the song library
  virtual bool hashing() = 0;          // the checksum pass runs
  virtual bool clearingCache() = 0;    // the update writer runs
  virtual int32_t writerStage() = 0;   // test mode
  virtual int32_t switchMarker() = 0;  // test mode
  virtual int32_t spinner() = 0;       // the supervisor's 0..100
  virtual int32_t fixedUser() = 0;     // 0..9, or 999 for none
};

struct StatusParts {
  engine::SharedWords& words;
  Settings& settings;
  engine::PlayList& play_list;
  engine::StatusMessage& message;  // its waiting text is shown once
  StatusSources& sources;
  engine::RandomSource& random;  // the 1-in-6 end of the "Partially Buffered" remark
};

// Composes the four texts and applies their one-shot effects (buffer state 12 -> 10, the random
// 11 -> 10, the status message taken). Any thread.
StatusTexts composeStatus(StatusParts& parts);

// The refresher a window installs into engine::StatusMessage::setRefresher: composes the texts
// and hands them to `show` (which carries them to the window thread).
std::function<void()> statusRefresher(StatusParts parts,
                                      std::function<void(const StatusTexts&)> show);

}  // namespace tunora::ui
