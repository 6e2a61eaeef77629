// The program's own files: "ToolBar.bmp" and "ToolBar@2x.bmp", "ReadMe.htm", "Cover.bmp" and
// "DefSet.txt". They lie in one folder, the program directory, which this routine finds from the
// program file's own path in one of three layouts:
//   - the build folder: the program at the top of the build tree, the files copied beside it;
//   - a folder of its own: the files beside the program (a copy unpacked into one folder, or on
//     a removable drive);
//   - an installed prefix: the program in "<prefix>/bin/", the files in "<prefix>/share/tunora/".
//     The prefix is the program's own (after links are resolved), so a moved prefix works.
// Every reader of these files joins their names to this folder.
#pragma once

#include <string>

#include "ui/program_file_names.h"

namespace tunora {

using ui::kDefaultCoverFile;
using ui::kReadMeFile;
using ui::kToolBarFile;
using ui::kToolBarFile2x;
// Where an installed copy keeps its program files, relative to the prefix above "bin/".
inline constexpr char kInstalledFilesFolder[] = "share/tunora/";

// The program directory (ending in "/") for the program file at `program_path`: the program's
// own folder when it holds "DefSet.txt" or "ToolBar.bmp"; else, for a program in a folder named
// "bin", "<prefix>/share/tunora/" when "ToolBar.bmp" lies there; else the program's own folder
// (where the missing toolbar is then reported).
std::string findProgramFilesFolder(const std::string& program_path);

// The running program's file (/proc/self/exe, links resolved); empty when it cannot be read.
std::string runningProgramPath();

}  // namespace tunora
