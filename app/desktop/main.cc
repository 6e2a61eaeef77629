// tunora: the desktop program.
#include "app/desktop/desktop_program.h"

int main(int argc, char** argv) { return tunora::runDesktopProgram(argc, argv); }
