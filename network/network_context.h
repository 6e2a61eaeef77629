// What start-up works out that Network mode's parts read: the local copy's path and change
// counter, and the installation's fixed user. The program's start-up record (app/app_context.h)
// extends it, so the parts below the program never see the rest of that record.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "settings/fixed_user.h"

namespace tunora::network {

struct NetworkContext {
  // The user this installation is pinned to, or kNoFixedUser. Set before any thread starts.
  int32_t fixed_user = kNoFixedUser;
  // The local copy's change counter: the first opening in Network mode refreshes the local copy
  // when it is above 50 (start-up sets 200). Changed by several threads (import, the request
  // executor, the library opening), so always atomically.
  std::atomic<int32_t> network_refresh_counter{0};
  // The local copy's file; set at start-up.
  std::string local_copy_path;
};

}  // namespace tunora::network
