// Not written yet.
#include "ui/paint_list.h"
