// The media filler instance of the desktop program: after start-up chose the filler, the filler
// window runs over the program object's lock, list builder, library and settings instead of the
// main window.
#pragma once

#include "app/program.h"
#include "ui/qt/desktop.h"

namespace tunora {

// Reads "dTnFill.dat", shows the filler window, runs the loop until it closes and joins every
// thread the fills started. Returns the process's exit status (0).
int runFillerProgram(Program& program, ui::qt::Desktop& desktop, bool trace);

}  // namespace tunora
