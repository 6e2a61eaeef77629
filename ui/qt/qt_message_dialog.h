// The message dialog for the whole program: ui::MessageDialog over MessageDialogWidget. Any thread
// may call show(): on the GUI thread it runs the dialog at once; from another thread the call is
// queued to the GUI thread and the caller waits for the answer. The GUI thread never waits for
// a caller. After close() (the window is going away) every waiting and later call answers
// kSecondButton, as a closed dialog does, and open dialogs are closed.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/message_dialog.h"

class QWidget;
class QTextBrowser;

namespace tunora::ui::qt {

class MessageDialogWidget;

class QtMessageDialog final : public QObject, public MessageDialog {
  Q_OBJECT

 public:
  // `read_me` is the full path of "ReadMe.htm", which openReadMe shows in the program's own
  // help window (help_window.h; setOpenUrl replaces that). Create on the GUI thread.
  QtMessageDialog(QString read_me, QIcon icon, QObject* parent = nullptr);
  ~QtMessageDialog() override;

  MessageResult show(const MessageRequest& request) override;
  void openReadMe() override;

  // The dialogs' owner window; may be null.
  void setParentWidget(QWidget* parent) { parent_ = parent; }
  void setOpenUrl(std::function<void(const QString&)> open_url) { open_url_ = std::move(open_url); }
  // Answers every waiting and later call with kSecondButton and closes open dialogs.
  void close();
  // Called with each dialog as it opens (GUI thread); tests use it to press buttons.
  void setOnOpen(std::function<void(MessageDialogWidget*)> on_open) {
    on_open_ = std::move(on_open);
  }

 private:
  struct Pending;
  MessageResult runHere(const MessageRequest& request);

  QString read_me_;
  QIcon icon_;
  QPointer<QWidget> parent_;
  std::function<void(const QString&)> open_url_;
  QPointer<QTextBrowser> help_;  // the help window, while open
  std::function<void(MessageDialogWidget*)> on_open_;
  std::vector<QPointer<MessageDialogWidget>> open_;  // GUI thread only

  std::mutex mu_;
  bool closed_ = false;                            // guarded by mu_
  std::vector<std::shared_ptr<Pending>> pending_;  // guarded by mu_
};

}  // namespace tunora::ui::qt
