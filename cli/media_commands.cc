// tunora-cli commands of the media area (none yet).
#include "cli/command.h"

namespace tunora::cli {

std::vector<Command> mediaCommands() { return {}; }

}  // namespace tunora::cli
