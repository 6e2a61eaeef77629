// The message dialog for the whole program.
#include "ui/qt/qt_message_dialog.h"

#include <QThread>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <condition_variable>

#include "ui/qt/help_window.h"
#include "ui/qt/message_dialog_widget.h"

namespace tunora::ui::qt {

// One call from another thread waiting for its answer.
struct QtMessageDialog::Pending {
  std::condition_variable cv;
  bool done = false;  // guarded by the dialog's mu_
  MessageResult result;
};

QtMessageDialog::QtMessageDialog(QString read_me, QIcon icon, QObject* parent)
    : QObject(parent), read_me_(std::move(read_me)), icon_(std::move(icon)) {
  open_url_ = [this](const QString& path) { showHelpWindow(help_, path); };
}

QtMessageDialog::~QtMessageDialog() {
  close();
  delete help_.data();
}

MessageResult QtMessageDialog::show(const MessageRequest& request) {
  if (QThread::currentThread() == thread()) return runHere(request);
  auto pending = std::make_shared<Pending>();
  {
    std::lock_guard lock(mu_);
    if (closed_) return MessageResult{kSecondButton, request.text};
    pending_.push_back(pending);
  }
  QMetaObject::invokeMethod(
      this,
      [this, pending, request] {
        MessageResult result = runHere(request);
        std::lock_guard lock(mu_);
        pending->result = std::move(result);
        pending->done = true;
        pending->cv.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mu_);
  // Ends when the dialog closes or close() answers for it; close() runs before the GUI thread
  // stops, so the wait cannot outlive the window.
  pending->cv.wait(lock, [&] { return pending->done || closed_; });
  std::erase(pending_, pending);
  if (!pending->done) return MessageResult{kSecondButton, request.text};
  return pending->result;
}

MessageResult QtMessageDialog::runHere(const MessageRequest& request) {
  {
    std::lock_guard lock(mu_);
    if (closed_) return MessageResult{kSecondButton, request.text};
  }
  QPointer<MessageDialogWidget> dialog = new MessageDialogWidget(request, icon_, parent_);
  open_.push_back(dialog);
  if (on_open_) on_open_(dialog);
  if (dialog) dialog->exec();
  MessageResult result{kSecondButton, request.text};
  if (dialog) {
    result = dialog->answer();
    delete dialog;
  }
  std::erase_if(open_, [](const QPointer<MessageDialogWidget>& p) { return p.isNull(); });
  return result;
}

void QtMessageDialog::openReadMe() {
  QMetaObject::invokeMethod(
      this, [this] { open_url_(read_me_); }, Qt::QueuedConnection);
}

void QtMessageDialog::close() {
  {
    std::lock_guard lock(mu_);
    closed_ = true;
    for (auto& pending : pending_) pending->cv.notify_all();
  }
  if (QThread::currentThread() == thread()) {
    for (auto& dialog : open_) {
      if (dialog) dialog->done(kSecondButton);
    }
  }
}

}  // namespace tunora::ui::qt
