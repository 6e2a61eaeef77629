// Not written yet.
#include "ui/cover_loader.h"
