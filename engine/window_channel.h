// The main window's command channel as the engine's threads see it: they post a command number
// with one parameter and go on. The window implements it with a queued call to its own thread.
#pragma once

#include <cstdint>

namespace tunora::engine {

class WindowChannel {
 public:
  virtual ~WindowChannel() = default;
  // Queues a command for the window thread. Callable from any thread; never blocks for long.
  virtual void postCommand(int32_t command, int32_t parameter) = 0;
};

}  // namespace tunora::engine
