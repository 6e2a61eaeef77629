// What start-up works out that the window and its dialogs read: Network mode's part (the fixed
// user, the local copy's change counter) and the program's two folders. The program's start-up
// record (app/app_context.h) extends it, so the window never sees the rest of that record.
#pragma once

#include <string>

#include "network/network_context.h"

namespace tunora::ui {

struct WindowContext : network::NetworkContext {
  // Both end in "/" and do not change after start-up.
  std::string program_directory;  // the program's own files (program_file_names.h)
  std::string data_directory;     // the settings, the library and the play lists
};

}  // namespace tunora::ui
