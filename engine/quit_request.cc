// Closing the main window.
#include "engine/quit_request.h"

#include "engine/lock_codes.h"

namespace tunora::engine {

void handleCloseRequest(SharedLock& lock, WindowChannel& window, StatusMessage& status) {
  SharedWords& words = lock.words();
  int32_t request = words.request.load();
  if (request == kQuitRequested) {
    words.abort.store(1);  // a running build, import or fill stops
  } else if (request == kQuitInProgress) {
    int32_t expected = kQuitInProgress;
    words.request.compare_exchange_strong(expected, kQuitFinal);
  } else if (request == kQuitFinal) {
    window.postCommand(kCommandFinishQuit, 0);
  } else {
    (void)lock.postRequest(kQuitRequested, 0, 0);
  }
  status.refresh();
}

}  // namespace tunora::engine
