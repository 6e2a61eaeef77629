// Moved to tests/support/song_library.h; kept for the tests that still include it here.
#pragma once
#include "tests/support/song_library.h"
