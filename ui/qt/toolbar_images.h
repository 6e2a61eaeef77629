// The toolbar's images from "ToolBar.bmp" in the program directory: 13 images of 20 x 20 side
// by side (0 play, 1 stop, 2 back to the start, 3 play the last song again, 4 skip, 5 rate,
// 6 details, 7 search, 9 database, 10 options, 11 help, 12 pause; 8 unused). "ToolBar@2x.bmp"
// beside it, when present, gives the 40 x 40 images for high-DPI screens.
#pragma once

#include <QIcon>
#include <QString>
#include <optional>
#include <vector>

#include "ui/program_file_names.h"

namespace tunora::ui::qt {

inline constexpr int kToolBarImageSize = 20;
inline constexpr int kToolBarImageCount = 13;
// The file names (the program's start finds their folder).
inline constexpr const char* kToolBarFileName = ui::kToolBarFile;
inline constexpr const char* kToolBarFileName2x = ui::kToolBarFile2x;

// The 13 images as icons, or nullopt when "ToolBar.bmp" is missing or not a picture of at least
// 13 images' width. `program_directory` ends in "/".
std::optional<std::vector<QIcon>> loadToolBarImages(const QString& program_directory);

}  // namespace tunora::ui::qt
