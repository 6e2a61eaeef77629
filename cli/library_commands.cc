// tunora-cli commands of the library area (none yet).
#include "cli/command.h"

namespace tunora::cli {

std::vector<Command> libraryCommands() { return {}; }

}  // namespace tunora::cli
