// Not written yet.
#include "ui/status_text.h"
