// The message dialog for tests: answers with scripted buttons (the first button once the script
// is used up) and, for an input form, scripted typed texts (the text as filled in once they are
// used up); records every request and every opening of the ReadMe. Any thread may call it.
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
  // What the user types into the next input forms, in order.
  void type(std::initializer_list<std::string> texts) {
    std::lock_guard lock(mu_);
    typed_.assign(texts.begin(), texts.end());
  }
  ui::MessageResult show(const ui::MessageRequest& request) override {
    std::lock_guard lock(mu_);
    requests_.push_back(request);
    ui::MessageResult result{ui::kFirstButton, request.text};
    if (!answers_.empty()) {
      result.button = answers_.front();
      answers_.pop_front();
    }
    const bool input =
        request.kind == ui::MessageKind::kInput || request.kind == ui::MessageKind::kSmallInput;
    if (input && !typed_.empty()) {
      result.text = typed_.front();
      typed_.pop_front();
    }
    return result;
  }
  void openReadMe() override {
    std::lock_guard lock(mu_);
    ++readme_openings_;
  }

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
  int32_t readMeOpenings() const {
    std::lock_guard lock(mu_);
    return readme_openings_;
  }

 private:
  mutable std::mutex mu_;
  std::deque<int32_t> answers_;
  std::deque<std::string> typed_;
  std::vector<ui::MessageRequest> requests_;
  int32_t readme_openings_ = 0;
};

}  // namespace tunora::testing
