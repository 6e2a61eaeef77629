// The names of the program's own files, which lie in the program directory (the program's start
// finds it: app/program_files.h).
#pragma once

namespace tunora::ui {

inline constexpr char kToolBarFile[] = "ToolBar.bmp";
inline constexpr char kToolBarFile2x[] = "ToolBar@2x.bmp";
inline constexpr char kReadMeFile[] = "ReadMe.htm";
inline constexpr char kDefaultCoverFile[] = "Cover.bmp";

}  // namespace tunora::ui
