// The Internals dialog without a toolkit: the rating values and tuning numbers it edits, its two
// presets, and the read-only internal counters it shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/shared_words.h"
#include "settings/settings.h"

namespace tunora::ui {

inline constexpr char kInternalsTitle[] = "Tunora Internals";
inline constexpr char kRatingValueTooltip[] =
    "Scores which set the importance of each rating number";
inline constexpr char kTargetValueTooltip[] =
    "Target that must be achieved for a songs to be played";
inline constexpr char kDefaultImportTooltip[] =
    "Value (not rating) that is assigned to imported songs";
inline constexpr char kBufferSizeTooltip[] =
    "How many files Tunora will cache to your local drive when the Buffer mode is enabled";
inline constexpr char kArSpeedTooltip[] =
    "Changes the degree of change from the AutoRate function.";
inline constexpr char kLameCheckTooltip[] =
    "Some MP3 decoders have trouble with LAME files. If you do, try enabling this!";
inline constexpr char kInternalsDefaultTooltip[] = "Resets values on this window to default";
inline constexpr char kInternalsAlternateTooltip[] =
    "Sets values on this window to another possible setting";
inline constexpr char kInternalsOkTooltip[] = "Save all data for this entry";
inline constexpr char kInternalsCancelTooltip[] = "Close window. (Does not save data)";
inline constexpr char kInternalsHelpTooltip[] = "Quick Help file access";

// "AR Speed" entries 0..2.
inline constexpr std::array<const char*, 3> kArSpeeds = {"Slow", "Normal", "Fast"};

// The read-only values' labels, in the dialog's order.
inline constexpr std::array<const char*, 8> kInternalsShownLabels = {
    "Build Time", "Curr Rate",  "LB Buffer", "Hash Stat",
    "Waiting",    "DB Average", "ListState", "Work Pos"};

struct InternalsForm {
  std::array<std::string, 10> rating_values;  // ratings 1..10
  std::string target_value;
  std::string default_import;
  std::string buffer_size;
  int32_t ar_speed = 1;  // 0..2
  bool lame_check = false;
};

// The form from the settings. An "AR Speed" out of range shows as the nearest entry.
InternalsForm readInternalsForm(const Settings& settings);
// "OK": the ten rating values, the target value, `DefaultImport`, `BufferSize`, `LameCheck` and
// `ArSpeed`. An edit whose text is not a number leaves its setting as it was.
void storeInternalsForm(const InternalsForm& form, Settings& settings);

// What the read-only values are made of, read by the caller when the dialog opens.
struct InternalsCounters {
  int32_t build_time = 0;
  uint32_t current_score = 0;  // the current song's score
  int32_t queue_length = -1;   // the deferred update queue's length, -1 without storage
  int32_t hash_stat = 0;
  int32_t lock_request = 0;  // the shared lock's request word
  int32_t lock_waiters = 0;
  int32_t lock_last_released = 0;
  int32_t lock_grant = 0;  // 0 when nothing is granted
  bool executor_busy = false;
  int32_t pick_balance = 50;
  int32_t build_request = 0;
  int32_t builder_stage = 0;
  int32_t writer_stage = 0;
};

// Reads the lock's and the builder's words.
void readLockWords(const engine::SharedWords& words, InternalsCounters& counters);

// The shared lock's state: request word, waiter count and last released code joined with ", ",
// then " Doing " and the grant code while a grant is held, then " WaitUp" while the executor runs.
std::string lockStateText(const InternalsCounters& counters);

// The eight shown texts, in the order of kInternalsShownLabels.
std::array<std::string, 8> internalsShownTexts(const InternalsCounters& counters);

}  // namespace tunora::ui
