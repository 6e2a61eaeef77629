// One player at a time over the session bus: the running player offers the object
// /org/pellan/Tunora with the interface org.pellan.Tunora.Instance under the name
// org.pellan.Tunora.Instance.p<process id> (the id its lock file names); a second start calls
// its Open method with the paths it was given (none: just raise the window) and ends.
//   Open(as paths): raises the window; opens the paths (absolute; folders end in "/").
//   Raise(): raises the window.
// The header names no Qt type: the program's composition root calls handOverToPlayer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tunora::ui::qt {

inline constexpr char kInstancePath[] = "/org/pellan/Tunora";
inline constexpr char kInstanceInterface[] = "org.pellan.Tunora.Instance";

// "org.pellan.Tunora.Instance.p1234".
std::string instanceBusName(int64_t pid);

// Calls Open on the player of process `pid` over the session bus, waiting at most `timeout_ms`
// for its answer. True when the player answered without error. Needs the application object.
bool handOverToPlayer(int64_t pid, const std::vector<std::string>& paths, int timeout_ms);

// The running player's side: the object and the name, for as long as it lives. Runs on the
// thread of the application object.
class InstanceService {
 public:
  struct Actions {
    std::function<void()> raise;
    std::function<void(std::vector<std::string>)> open;
  };
  // nullptr when there is no session bus or the name cannot be had (a second start then waits
  // and ends, as when no player answers).
  static std::unique_ptr<InstanceService> start(Actions actions);
  ~InstanceService();
  InstanceService(const InstanceService&) = delete;
  InstanceService& operator=(const InstanceService&) = delete;

 private:
  struct Impl;
  explicit InstanceService(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace tunora::ui::qt
