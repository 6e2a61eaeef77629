// The message dialog's window: a modal dialog in one of two forms, built from a MessageRequest.
// The message form shows the text and two large buttons stacked vertically (only the first when
// the request has no second caption); the input form shows the text, one input line with the
// keyboard focus and its offered text selected, and the request's two captions beside each other
// ("OK" and "Cancel" when it gives none). The first button (Return in the input line, or the
// time-out) closes it with kFirstButton; the second button, "Cancel" or closing it gives
// kSecondButton. GUI thread only.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include "platform/message_dialog.h"

class QLineEdit;
class QTimer;

namespace tunora::ui::qt {

class MessageDialogWidget final : public QDialog {
  Q_OBJECT

 public:
  MessageDialogWidget(const MessageRequest& request, const QIcon& icon, QWidget* parent);

  // The answer once closed: the button and the input line (input forms), cut to 600 bytes.
  MessageResult answer() const;
  // The time-out timer; null when the request has no time-out.
  QTimer* timeOutTimer() const { return timer_; }

 public Q_SLOTS:
  // What the time-out does: closes the dialog as the first button.
  void timeOut();

 private:
  QLineEdit* input_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace tunora::ui::qt
