// The toolbar's buttons.
#include "ui/toolbar.h"

#include "ui/command_numbers.h"

namespace tunora::ui {

const std::vector<ToolbarButton>& toolbarButtons() {
  static const std::vector<ToolbarButton> buttons = {
      {false, kPlayButtonImage, kCmdPlay, "Start Tunora"},
      {false, 1, kCmdStop, "Stop Tunora"},
      {false, 2, kCmdRestart, "Go back to the start of the current song"},
      {false, 3, kCmdPlayLast, "Play the last song again"},
      {false, 4, kCmdSkip, "Skip to the next song on the list"},
      {true, 0, 0, ""},
      {false, 5, kCmdRate, "Rate the song for the selected user"},
      {false, 6, kCmdCurrentDetails, "Show database entry on current file"},
      {false, 7, kCmdSearch, "Search for a song"},
      {true, 0, 0, ""},
      {false, 9, kCmdDatabaseDialog, "Tunora Database functions (Including mass import)"},
      {false, 10, kCmdOptions, "Tunora Options"},
      {false, 11, kCmdHelp, "Quick Help file access"},
  };
  return buttons;
}

std::string playButtonTooltip(bool playing, bool paused) {
  if (playing) return "Pause song";
  return paused ? "Resume song" : "Start Tunora";
}

}  // namespace tunora::ui
