// The status message: the texts of the main window's status bar, composed by one routine that
// any thread may call. Until the window composes them, the engine only asks for a refresh; the
// window sets the routine that recomposes and shows the texts.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace tunora::engine {

class StatusMessage {
 public:
  // The routine that recomposes the texts; called by refresh(), on the calling thread.
  void setRefresher(std::function<void()> refresher) {
    std::lock_guard lock(mu_);
    refresher_ = std::move(refresher);
  }
  void refresh() {
    std::function<void()> refresher;
    {
      std::lock_guard lock(mu_);
      ++refresh_count_;
      refresher = refresher_;
    }
    if (refresher) refresher();
  }
  // Leaves a message for the status bar, which shows it once (takeMessage).
  void setText(std::string text) {
    std::lock_guard lock(mu_);
    text_ = std::move(text);
    waiting_ = true;
  }
  // The message left since the last take, if any; it counts as shown.
  std::optional<std::string> takeMessage() {
    std::lock_guard lock(mu_);
    if (!waiting_) return std::nullopt;
    waiting_ = false;
    return text_;
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
  std::function<void()> refresher_;
  std::string text_;
  bool waiting_ = false;
  int64_t refresh_count_ = 0;
};

}  // namespace tunora::engine
