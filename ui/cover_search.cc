// Not written yet.
#include "ui/cover_search.h"
