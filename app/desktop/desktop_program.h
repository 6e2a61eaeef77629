// The desktop program tunora: start-up, the main window over the program object, the threads in
// the order the window's creation starts them, the event loop, and the save at the end.
#pragma once

namespace tunora {

// Runs the whole program; returns the process's exit status: 0 after a normal quit with the
// settings saved, or after the media filler's window closed; 1 when
// another player runs, the settings cannot be upgraded, "ToolBar.bmp" is missing or the
// settings could not be saved.
int runDesktopProgram(int argc, char** argv);

}  // namespace tunora
