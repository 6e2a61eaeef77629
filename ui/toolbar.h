// The toolbar's buttons: image index in "ToolBar.bmp" (13 images of 20 x 20 side by side),
// command number and tooltip, with the separators where they stand; and the first button's
// tooltip, which follows the play state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/program_file_names.h"

namespace tunora::ui {

inline constexpr int32_t kToolBarImageSize = 20;
inline constexpr int32_t kToolBarImages = 13;
inline constexpr char kToolBarMissing[] = "ToolBar not found in program directory";
inline constexpr char kOpenDirectoryButton[] = "Open directory";

struct ToolbarButton {
  bool separator = false;
  int32_t image = 0;
  int32_t command = 0;
  std::string tooltip;  // the first button's is playButtonTooltip()
};

const std::vector<ToolbarButton>& toolbarButtons();

// "Pause song" while playing; otherwise "Resume song" when a song is paused, else
// "Start Tunora".
std::string playButtonTooltip(bool playing, bool paused);

}  // namespace tunora::ui
