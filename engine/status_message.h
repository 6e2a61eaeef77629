// The status message: the texts of the main window's status bar. Any thread may ask for a
// refresh; the window (or tunora-cli play) watches refreshCount() and recomposes the texts when
// it moves.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

namespace tunora::engine {

class StatusMessage {
 public:
  // Asks for the texts to be recomposed.
  void refresh() {
    std::lock_guard lock(mu_);
    ++refresh_count_;
  }
  void setText(std::string text) {
    std::lock_guard lock(mu_);
    text_ = std::move(text);
  }
  std::string text() const {
    std::lock_guard lock(mu_);
    return text_;
  }
  int64_t refreshCount() const {
    std::lock_guard lock(mu_);
    return refresh_count_;
  }

 private:
  mutable std::mutex mu_;
  std::string text_;
  int64_t refresh_count_ = 0;
};

}  // namespace tunora::engine
