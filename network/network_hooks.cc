// The player's file choice in Network mode.
#include "network/network_hooks.h"

#include "network/buffer_paths.h"

namespace tunora::network {

std::string chooseFileToPlay(const Buffering& buffering, const std::string& path) {
  if (buffering.state() == kBufferOff) return path;
  const std::string local = safeLocalBufferPath(buffering.mediaFolder(), path);
  return local.empty() ? path : local;
}

std::string fallBackToNetwork(Buffering& buffering, const engine::SharedWords& words,
                              const std::string& path) {
  if (words.build_request.load() >= engine::kOfflineStart) return "";
  buffering.setState(kUnbuffered);
  return path;
}

}  // namespace tunora::network
