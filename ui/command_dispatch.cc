// Not written yet.
#include "ui/command_dispatch.h"
