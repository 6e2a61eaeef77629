// Not written yet.
#include "ui/display_click.h"
