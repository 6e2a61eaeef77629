// The program's one message dialog: confirmations, errors and one-line input. Every part of the
// program that asks or tells the user something goes through this interface; the window
// implements it with a real modal dialog, runs without a window answer with the first button, and
// tests script the answers.
#pragma once

#include <cstdint>
#include <string>

namespace tunora::ui {

// The dialog's two forms, each in the normal and in the smaller message font.
enum class MessageKind : int32_t {
  kMessage = 1,        // message and two stacked buttons
  kInput = 4,          // message, one input line, "OK" and "Cancel"
  kSmallMessage = 11,  // as kMessage, the message in the smaller font
  kSmallInput = 14,    // as kInput, the message in the smaller font
};

inline constexpr int32_t kFirstButton = 1;         // the first button, or the time-out
inline constexpr int32_t kSecondButton = 2;        // the second button, Cancel, or a closed dialog
inline constexpr size_t kMessageInputLimit = 600;  // bytes of the input line read back

inline constexpr char kOkButton[] = "OK";
inline constexpr char kViewReadMeButton[] = "View ReadMe";
inline constexpr char kCancelButton[] = "Cancel";

struct MessageRequest {
  MessageKind kind = MessageKind::kMessage;
  std::string message;
  std::string first_button = "Yes";
  std::string second_button = "No";  // empty: the dialog shows the first button only
  std::string text;                  // the input line's initial content (input forms only)
  int32_t timeout_seconds = 0;       // above 0: closes as the first button after that many seconds
  bool keep_on_top = true;
};

struct MessageResult {
  int32_t button = kSecondButton;  // kFirstButton or kSecondButton
  std::string text;                // the input line as closed (input forms), at most 600 bytes
};

class MessageDialog {
 public:
  virtual ~MessageDialog() = default;
  // Shows the dialog modally and returns when it closes. Any thread may call it: the window
  // carries the call to its own thread and the caller waits for the answer. A caller must not
  // hold anything the window thread waits for (the window thread never waits for the database
  // lock, so holding a grant is fine).
  virtual MessageResult show(const MessageRequest& request) = 0;
  // Opens "ReadMe.htm" from the program directory in the desktop's browser. Returns at once.
  virtual void openReadMe() = 0;
};

// A two-button question: kFirstButton or kSecondButton.
inline int32_t ask(MessageDialog& dialog, const std::string& message, const std::string& first,
                   const std::string& second, MessageKind kind = MessageKind::kMessage) {
  MessageRequest request;
  request.kind = kind;
  request.message = message;
  request.first_button = first;
  request.second_button = second;
  return dialog.show(request).button;
}

// An error with "OK" and "View ReadMe"; the second button opens the ReadMe.
inline void showError(MessageDialog& dialog, const std::string& message,
                      MessageKind kind = MessageKind::kMessage) {
  if (ask(dialog, message, kOkButton, kViewReadMeButton, kind) == kSecondButton) {
    dialog.openReadMe();
  }
}

// A notice with the one button "OK".
inline void tell(MessageDialog& dialog, const std::string& message,
                 MessageKind kind = MessageKind::kMessage) {
  (void)ask(dialog, message, kOkButton, "", kind);
}

// Answers every question with its first button and shows nothing: for runs without a window.
class FirstButtonMessageDialog final : public MessageDialog {
 public:
  MessageResult show(const MessageRequest& request) override {
    return MessageResult{kFirstButton, request.text};
  }
  void openReadMe() override {}
};

}  // namespace tunora::ui
