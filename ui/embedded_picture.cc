// Not written yet.
#include "ui/embedded_picture.h"
