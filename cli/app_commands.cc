// tunora-cli commands of the app area (none yet).
#include "cli/command.h"

namespace tunora::cli {

std::vector<Command> appCommands() { return {}; }

}  // namespace tunora::cli
