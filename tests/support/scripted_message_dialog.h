// The message dialog for tests: answers with scripted buttons (the first button once the script
// is used up), an input form with its text as filled in; records every request. Any thread may
// call it.
#pragma once

#include <deque>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message_dialog.h"

namespace tunora::testing {

class ScriptedMessageDialog final : public ui::MessageDialog {
 public:
  // The buttons to answer the next questions with, in order.
  void script(std::initializer_list<int32_t> buttons) {
    std::lock_guard lock(mu_);
    answers_.assign(buttons.begin(), buttons.end());
  }
  ui::MessageResult show(const ui::MessageRequest& request) override {
    std::lock_guard lock(mu_);
    requests_.push_back(request);
    ui::MessageResult result{ui::kFirstButton, request.text};
    if (!answers_.empty()) {
      result.button = answers_.front();
      answers_.pop_front();
    }
    return result;
  }
  void openReadMe() override {}

  std::vector<ui::MessageRequest> requests() const {
    std::lock_guard lock(mu_);
    return requests_;
  }
  // The messages of the requests, in order.
  std::vector<std::string> messages() const {
    std::lock_guard lock(mu_);
    std::vector<std::string> out;
    for (const ui::MessageRequest& request : requests_) out.push_back(request.message);
    return out;
  }

 private:
  mutable std::mutex mu_;
  std::deque<int32_t> answers_;
  std::vector<ui::MessageRequest> requests_;
};

}  // namespace tunora::testing
