// What closing the main window does to the shared lock's words: the first close requests the
// quit (code 66, which takes the request word over from any other request); a close while the
// quit waits sets the abort flag; a close while the quit is in progress makes it final; a close
// when it is final asks the window to finish at once (command 2031). Runs on the window thread.
#pragma once

#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "engine/window_channel.h"

namespace tunora::engine {

void handleCloseRequest(SharedLock& lock, WindowChannel& window, StatusMessage& status);

}  // namespace tunora::engine
