// The window channel for tests: records every command posted to it, from any thread.
#pragma once

#include <mutex>
#include <utility>
#include <vector>

#include "engine/window_channel.h"

namespace tunora::testing {

class RecordingWindow : public engine::WindowChannel {
 public:
  void postCommand(int32_t command, int32_t parameter) override {
    std::lock_guard lock(mu_);
    posted_.emplace_back(command, parameter);
  }
  // (command, parameter) in the order posted.
  std::vector<std::pair<int32_t, int32_t>> posted() const {
    std::lock_guard lock(mu_);
    return posted_;
  }
  std::vector<int32_t> commands() const {
    std::vector<int32_t> out;
    for (const auto& [command, parameter] : posted()) out.push_back(command);
    return out;
  }
  bool received(int32_t command) const {
    for (int32_t c : commands()) {
      if (c == command) return true;
    }
    return false;
  }

 private:
  mutable std::mutex mu_;
  std::vector<std::pair<int32_t, int32_t>> posted_;
};

}  // namespace tunora::testing
