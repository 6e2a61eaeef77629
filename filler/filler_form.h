// The media filler window's form without a toolkit: the controls' values and the filler block
// of the settings, the enabling rules, the dropped-folder rule, and the window's texts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings.h"

namespace tunora::filler {

// The eight type boxes in the filler block's order.
inline constexpr int kTypeBoxes = 8;
inline constexpr std::array<const char*, kTypeBoxes> kTypeBoxCaptions = {
    "MP3", "AVI", "WAV", "MPEG", "MIDI", "WMA", "ASF", "WMV"};
inline constexpr std::array<const char*, kTypeBoxes> kTypeBoxTooltips = {
    "Play MP3 audio files",  "Play AVI video files",          "Play Wave audio files",
    "Play MPEG video files", "Play MIDI audio files",         "Play Windows Media Audio files",
    "Play ASF files",        "Play Windows Media Video files"};
inline constexpr char kAllTooltip[] = "Play all supported media files";

inline constexpr std::array<const char*, 8> kFillSizeNames = {
    "128 MB", "256 MB", "512 MB", "1024 MB", "2048 MB", "4 GB", "8 GB", "Fill"};
inline constexpr std::array<const char*, 4> kNaughtyNames = {"Clean", "Muddy", "Dirty",
                                                             "Really Dirty"};
inline constexpr int32_t kHighestMinRating = 10;  // "Minimum play rating is " 0..10

// Tooltips of the window's controls.
inline constexpr char kFillTooltip[] = "Fill the directory with songs";
inline constexpr char kCloseTooltip[] = "Quit and fill another day";
inline constexpr char kResetTooltip[] = "Resets all settings to default";
inline constexpr char kChangeTooltip[] = "Change the fill directory";
inline constexpr char kOpenOutputTooltip[] = "Open the selected output directory";
inline constexpr char kOutputTooltip[] = "Directory to fill with songs";
inline constexpr char kFillSizeTooltip[] = "How much space you want filled with songs";
inline constexpr char kEmptyDirTooltip[] =
    "Empty the directory of ALL (not just music) files prior to filling";
inline constexpr char kAddNumberTooltip[] =
    "Adds a number to the start of each filename - useful for players with a bad random mode";
inline constexpr char kUserTooltip[] = "Current User";
inline constexpr char kUserModeTooltip[] = "Current Alt Mode";
inline constexpr char kNaughtyTooltip[] = "Enables naughty songs to be avoided (spanked)";
inline constexpr char kMinRatingTooltip[] = "Lowest song rating that will be selected";
inline constexpr char kStopTooltip[] = "Stop the fill after the song being copied";

// Questions.
inline constexpr char kResetQuestion[] = "This will reset all the Tunora Media Filler settings.";
inline constexpr char kResetYes[] = "Yes, please reset to default";
inline constexpr char kResetNo[] = "No, cancel this";
inline constexpr char kEmptyQuestion[] = "Delete all files in Fill directory?";
inline constexpr char kChooseFolderTitle[] = "Choose Folder";

// What the controls show.
struct FillerForm {
  int32_t size_index = 0;  // 0..7
  std::array<bool, kTypeBoxes> types{};
  bool all = false;
  int32_t naughty_limit = 0;  // 0..3
  int32_t min_rating = 0;     // 0..10
  int32_t user = 0;           // 0..9
  int32_t alt_mode = 0;       // 0..9, 0 = none
  bool empty_dir = false;
  bool add_number = false;
  std::string output_dir;

  bool operator==(const FillerForm&) const = default;
};

// The form from the settings' filler block. An index out of its combo's range (a damaged file)
// shows the combo's first entry, and the fill size its default.
FillerForm fillerFormOf(const Settings& settings);
// Writes the form into the filler block (the output folder cut to 599 bytes).
void storeFillerForm(const FillerForm& form, Settings& settings);

// While "All" is checked the eight type boxes are disabled.
inline bool typeBoxesEnabled(bool all) { return !all; }
// "User" is enabled only while "User Mode" is 0.
inline bool userComboEnabled(int32_t alt_mode) { return alt_mode == 0; }

// A dropped item's path becomes the output folder when its name (the part after the last "/")
// holds no "." and the item is a folder; otherwise nothing. A trailing "/" is dropped.
std::optional<std::string> droppedOutputFolder(const std::string& path, bool is_folder);

// Why a fill cannot go into `folder` (empty, or not a full path: the copies would land in the
// program's working folder), or nothing.
std::optional<std::string> outputFolderRefusal(const std::string& folder);

// "Open Output Dir" opens the folder only when its text is longer than 2 characters.
inline bool outputDirOpenable(const std::string& text) { return text.size() > 2; }

}  // namespace tunora::filler
