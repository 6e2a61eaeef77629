// The Options dialog without a toolkit: its controls and tooltips, the values it shows (read
// from the settings record into a plain form), what "OK" stores, the "All" rule, "Reset" and
// what "OK" asks of the song buffering afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/state_switch.h"
#include "settings/settings.h"

namespace tunora::ui {

inline constexpr char kOptionsTitle[] = "Tunora Options";
inline constexpr char kOptionsResetQuestion[] = "This will reset all Tunora settings.";
inline constexpr char kOptionsResetYes[] = "Yes, please reset to default";
inline constexpr char kOptionsResetNo[] = "No, cancel this";

// Alt modes 1..9 are edited; mode 0 (none) and mode 10 (keyboard only) are not shown.
inline constexpr uint32_t kAltModesShown = 9;

// A check box bound to one setting.
struct CheckOption {
  const char* label;
  settings::IntField field;
  const char* tooltip;
};

inline constexpr CheckOption kPlayAllOption{"All", settings::kPlayAll,
                                            "Play all supported media files"};

// The eight file-type boxes, in the dialog's order; greyed while "All" is checked.
inline constexpr std::array<CheckOption, 8> kFileTypeOptions = {{
    {"AVI", settings::kPlayAvi, "Play AVI video files"},
    {"MP3", settings::kPlayMp3, "Play MP3 audio files"},
    {"MPEG", settings::kPlayMpeg, "Play MPEG video files"},
    {"WAV", settings::kPlayWav, "Play Wave audio files"},
    {"MIDI", settings::kPlayMidi, "Play MIDI audio files"},
    {"WMA", settings::kPlayWma, "Play Windows Media Audio files"},
    {"WMV", settings::kPlayWmv, "Play Windows Media Video files"},
    {"ASF", settings::kPlayAsf, "Play ASF files"},
}};

// The "Misc" group's boxes, in the dialog's order. "Network" and "Buffer" are stored by their
// own rule (storeOptionsForm).
inline constexpr std::array<CheckOption, 14> kMiscOptions = {{
    {"Full Movie", settings::kFullMovie, "Presents any video in full screen"},
    {"Auto Build", settings::kAutoBuild, "Auto build list when not playing"},
    {"Dir -> ID", settings::kDirToId,
     "Attempt to use the Directory names to extract Artist and Album details when the data is "
     "not in the file"},
    {"Network", settings::kNetwork,
     "In Network mode Tunora assumes that all files are not stored locally and will cache some "
     "to speed access"},
    {"Shutdown", settings::kShutdown,
     "If AutoBuild is enabled, this setting will cause Tunora to shutdown the computer after it "
     "has finished re-building the list"},
    {"Auto Mini", settings::kAutoMini, "Minimise Tunora when it starts playing"},
    {"Cover Art", settings::kCoverArt,
     "Displays in the upper right corner any image named 'Cover' or 'Disc' found in the same "
     "folder as the media file"},
    {"Buffer", settings::kBuffer,
     "Copy music to the local drive after making a list (Only relevant if Network mode is "
     "enabled)"},
    {"Tray", settings::kTray, "Minimise to the System Tray instead of the task-bar"},
    {"Auto Rate", settings::kAutoRate,
     "Alters song ratings depending on how you respond when they are played"},
    {"Auto Play", settings::kAutoPlay, "Play Tunora on program start"},
    {"Mark Vid", settings::kMarkVid, "Mark video files in the Quick-Link lists"},
    {"Show Rate", settings::kShowRate,
     "Show song rating for the current user in the Quick-Link lists"},
    {"On Top", settings::kOnTop, "Make Tunora the Top-Most window"},
}};
inline constexpr size_t kNetworkBox = 3;
inline constexpr size_t kBufferBox = 7;
inline constexpr size_t kOnTopBox = 13;

inline constexpr char kUserNameTooltip[] = "Name for each user";
inline constexpr char kAltNameTooltip[] = "Name for each Alt pattern";
inline constexpr char kAltPatternTooltip[] = "Programmable Pattern of Users ('0' is ten)";
inline constexpr char kNaughtyTooltip[] = "Enables naughty songs to be avoided (spanked)";
inline constexpr char kMinRatingTooltip[] = "Lowest song rating that will be selected";
inline constexpr char kHistoryTooltip[] = "Remember the last 100 songs and avoid repeats";
inline constexpr char kNoArtRepTooltip[] =
    "Remember the last twenty Artists played and prevent multiple songs from the same Artist "
    "being played";
inline constexpr char kPrepareTooltip[] = "Maximum numbers of songs to pre-select on the list";
inline constexpr char kOptionsOkTooltip[] = "Close and save";
inline constexpr char kOptionsCancelTooltip[] = "Close without saving";
inline constexpr char kOpenDirTooltip[] = "Opens the directory where Tunora saves all data";
inline constexpr char kResetTooltip[] = "Resets all settings to default";

// The naughty-limit combo's entries, 0..3.
inline constexpr std::array<const char*, 4> kNaughtyLevels = {"Clean", "Muddy", "Dirty",
                                                              "Really Dirty"};
inline constexpr int32_t kHighestMinRating = 10;

struct OptionsForm {
  std::array<std::string, settings::kUsers> user_names;
  std::array<std::string, kAltModesShown> alt_names;     // alt modes 1..9
  std::array<std::string, kAltModesShown> alt_patterns;  // alt modes 1..9 (slots 0..8)
  bool play_all = false;
  std::array<bool, kFileTypeOptions.size()> file_types{};
  std::array<bool, kMiscOptions.size()> misc{};
  std::string prepare;  // "Prepare": the text of the list size
  // The four per-state controls and the state whose values they are (the current state when
  // the dialog opened; the new state after a switch has shown its values).
  engine::PerStateControls per_state;
  int32_t per_state_owner = 0;
  // The "State" combo.
  std::array<std::string, settings::kStates> state_names;
  int32_t current_state = 0;
};

// The form as the dialog opens (and after "Reset"). A per-state value out of its combo's range
// shows as the nearest entry.
OptionsForm readOptionsForm(const Settings& settings);

// The eight type boxes are greyed while "All" is checked.
inline bool fileTypesEnabled(bool play_all) { return !play_all; }

// What "OK" asks of the song buffering once the settings are stored.
enum class BufferFollowUp {
  kNone,
  kSetUp,    // buffering was off (state 0) and "Buffer" is now on: set it up
  kRestart,  // "Buffer" is now off while the buffer was set up and no pass runs: the buffer
             // state goes to 0 and the set-up runs again (it removes the buffer)
};
BufferFollowUp bufferFollowUp(int32_t buffer_state, bool buffer_on);

// "OK": stores every field. "Buffer" is stored on only while "Network" is checked. The per-state
// controls go into the state that owns them. A "Prepare" text that is not a number leaves
// `ListSize` as it was. `buffer_state` is the song buffering's state now.
BufferFollowUp storeOptionsForm(const OptionsForm& form, Settings& settings, int32_t buffer_state);

// "Reset" after its question: every setting takes its default, but the listening state stays
// as it is (the play list shown belongs to it; switching to the first state is the state
// switch's work). Returns the state that was current, which the caller switches from to state 0.
int32_t resetOptions(Settings& settings);

}  // namespace tunora::ui
