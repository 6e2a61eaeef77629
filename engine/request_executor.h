// The request executor: the short-lived thread that the supervisor starts when a request waits.
// It turns the request into a grant; for worker codes (20 to 39) that is all, the waiting worker
// takes over. For the window's codes it does the work itself through a table of handlers, which
// the play-list actions and the dialogs fill in, and then releases the grant.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

#include "engine/lock_codes.h"
#include "engine/shared_lock.h"

namespace tunora::engine {

// The work of one window request; `parameter` is the number posted with it. Runs with the grant
// held by the executor.
using ExecutorHandler = std::function<void(int32_t parameter)>;

class RequestExecutor {
 public:
  explicit RequestExecutor(SharedLock& lock) : lock_(lock) {}

  // Sets the work for a code from 1 to 19 (other codes are ignored). A code without a handler
  // is granted and released at once. Call before the supervisor starts.
  void setHandler(int32_t code, ExecutorHandler handler);

  // The executor thread's body: the handover and, for window codes, their work. Returns the code
  // handed over, 0 when it ended without one (a grant was held, a quit was waiting, another
  // executor was running, or the request had gone).
  int32_t run();

 private:
  SharedLock& lock_;
  std::array<ExecutorHandler, kFirstWorkerCode> handlers_{};
};

}  // namespace tunora::engine
