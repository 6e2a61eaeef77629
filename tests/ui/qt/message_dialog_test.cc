// The message dialog: both forms, both buttons, the time-out as the first button, calls from
// another thread, and the answer of a dialog closed with the window; the shutdown dialog over it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "tests/ui/qt/qt_test_support.h"
#include "ui/qt/message_dialog_widget.h"
#include "ui/qt/qt_message_dialog.h"
#include "ui/shutdown.h"

namespace tunora::ui::qt {
namespace {

MessageRequest question(MessageKind kind = MessageKind::kMessage) {
  MessageRequest request;
  request.kind = kind;
  request.message = "Sure?";
  request.first_button = "Sure, delete please";
  request.second_button = "No, don't delete";
  return request;
}

// Presses a button of each dialog as it opens, once the dialog's own loop runs.
void pressOnOpen(QtMessageDialog& dialog, const char* button_name) {
  dialog.setOnOpen([button_name](MessageDialogWidget* widget) {
    QTimer::singleShot(0, widget, [widget, button_name] {
      widget->findChild<QPushButton*>(button_name)->click();
    });
  });
}

TEST(MessageDialogTest, ButtonsAnswerOneAndTwoWithTheirCaptions) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  QStringList captions;
  dialog.setOnOpen([&captions](MessageDialogWidget* widget) {
    captions = {widget->findChild<QPushButton*>("firstButton")->text(),
                widget->findChild<QPushButton*>("secondButton")->text()};
    QTimer::singleShot(0, widget,
                       [widget] { widget->findChild<QPushButton*>("firstButton")->click(); });
  });
  EXPECT_EQ(dialog.show(question()).button, kFirstButton);
  EXPECT_EQ(captions, QStringList({"Sure, delete please", "No, don't delete"}));
  pressOnOpen(dialog, "secondButton");
  EXPECT_EQ(dialog.show(question(MessageKind::kSmallMessage)).button, kSecondButton);
}

// "View ReadMe" and Help show the ReadMe in the program's own window (no web browser needed):
// one window, raised again on the next ask; a missing file is said so in it.
TEST(MessageDialogTest, ReadMeOpensInTheHelpWindow) {
  auto helpWindows = [] {
    QList<QTextBrowser*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* browser = qobject_cast<QTextBrowser*>(widget); browser && browser->isVisible()) {
        found << browser;
      }
    }
    return found;
  };
  QTemporaryDir dir;
  const QString path = dir.filePath("ReadMe.htm");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("<html><body><h1>The user's guide</h1></body></html>");
  file.close();
  {
    QtMessageDialog dialog(path, QIcon());
    dialog.openReadMe();
    dialog.openReadMe();
    QApplication::processEvents();
    ASSERT_EQ(helpWindows().size(), 1);
    EXPECT_EQ(helpWindows()[0]->windowTitle(), "Tunora Help");
    EXPECT_TRUE(helpWindows()[0]->toPlainText().contains("The user's guide"));
  }
  EXPECT_TRUE(helpWindows().isEmpty());  // it goes with the dialog
  QtMessageDialog missing("/nowhere/ReadMe.htm", QIcon());
  missing.openReadMe();
  QApplication::processEvents();
  ASSERT_EQ(helpWindows().size(), 1);
  EXPECT_TRUE(helpWindows()[0]->toPlainText().contains("/nowhere/ReadMe.htm is missing"));
}

TEST(MessageDialogTest, TimeOutClosesAsTheFirstButton) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  int interval = 0;
  bool active = false;
  dialog.setOnOpen([&](MessageDialogWidget* widget) {
    ASSERT_NE(widget->timeOutTimer(), nullptr);
    interval = widget->timeOutTimer()->interval();
    active = widget->timeOutTimer()->isActive();
    // The timer's own target, without waiting 30 seconds.
    QTimer::singleShot(0, widget, [widget] { widget->timeOut(); });
  });
  MessageRequest request = question(MessageKind::kSmallMessage);
  request.timeout_seconds = 30;
  EXPECT_EQ(dialog.show(request).button, kFirstButton);
  EXPECT_EQ(interval, 30000);
  EXPECT_TRUE(active);
}

TEST(MessageDialogTest, NoTimerWithoutTimeOut) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  bool has_timer = true;
  dialog.setOnOpen([&](MessageDialogWidget* widget) {
    has_timer = widget->timeOutTimer() != nullptr;
    QTimer::singleShot(0, widget, [widget] { widget->reject(); });  // closed: the second answer
  });
  EXPECT_EQ(dialog.show(question()).button, kSecondButton);
  EXPECT_FALSE(has_timer);
}

TEST(MessageDialogTest, InputFormReturnsTheLineCutTo600Bytes) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  dialog.setOnOpen([](MessageDialogWidget* widget) {
    QTimer::singleShot(0, widget, [widget] {
      auto* line = widget->findChild<QLineEdit*>();
      EXPECT_EQ(line->text(), "PL1.m3u");
      line->setText(QString(700, 'x'));
      widget->findChild<QPushButton*>("firstButton")->click();
    });
  });
  MessageRequest request = question(MessageKind::kInput);
  request.text = "PL1.m3u";
  const MessageResult result = dialog.show(request);
  EXPECT_EQ(result.button, kFirstButton);
  EXPECT_EQ(result.text, std::string(600, 'x'));
}

// Keys as the keyboard gives them to the widget that has the dialog's focus; a key the widget
// leaves alone goes on to the dialog (Return presses the default button).
void typeIntoFocus(MessageDialogWidget* widget, const QString& text, bool then_return) {
  QWidget* target = widget->focusWidget();
  if (target == nullptr) {
    ADD_FAILURE() << "nothing in the dialog has the keyboard focus";
    widget->reject();
    return;
  }
  for (QChar c : text) {
    const int key = c.toUpper().unicode();  // Qt::Key_A.. are the capital letters' codes
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
  }
  if (then_return) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
  }
}

std::vector<QString> visibleButtons(MessageDialogWidget* widget) {
  std::vector<QString> captions;
  for (QPushButton* button : widget->findChildren<QPushButton*>()) {
    if (!button->isHidden()) captions.push_back(button->text());
  }
  return captions;
}

// The prompts of the search ("Search"), "Goto" and the like: the line has the keyboard focus
// with the last text selected, so what is typed replaces it and Return confirms it under the
// caller's captions.
TEST(MessageDialogTest, InputFormTakesTheTypedTextAndShowsTheCallersCaptions) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  std::vector<QString> captions;
  QWidget* focused = nullptr;
  QLineEdit* line = nullptr;
  dialog.setOnOpen([&](MessageDialogWidget* widget) {
    QTimer::singleShot(0, widget, [&, widget] {
      captions = visibleButtons(widget);
      line = widget->findChild<QLineEdit*>();
      focused = widget->focusWidget();
      typeIntoFocus(widget, "blue", /*then_return=*/true);
    });
  });
  MessageRequest request;
  request.kind = MessageKind::kInput;
  request.message = "Enter word or phrase to search for in a song.";
  request.first_button = "Search";
  request.second_button = "Cancel";
  request.text = "last search";
  const MessageResult result = dialog.show(request);
  EXPECT_EQ(captions, (std::vector<QString>{"Search", "Cancel"}));
  EXPECT_NE(line, nullptr);
  EXPECT_EQ(focused, line);
  EXPECT_EQ(result.button, kFirstButton);
  EXPECT_EQ(result.text, "blue");

  // "Goto" with nothing offered; a request without captions shows "OK" and "Cancel".
  request.first_button = "Goto";
  request.text.clear();
  EXPECT_EQ(dialog.show(request).text, "blue");
  EXPECT_EQ(captions, (std::vector<QString>{"Goto", "Cancel"}));
  request.first_button.clear();
  request.second_button.clear();
  (void)dialog.show(request);
  EXPECT_EQ(captions, (std::vector<QString>{"OK", "Cancel"}));
}

// A notice (tell) has one button, "OK", and no empty second one.
TEST(MessageDialogTest, ANoticeShowsOneButton) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  std::vector<QString> captions;
  dialog.setOnOpen([&](MessageDialogWidget* widget) {
    captions = visibleButtons(widget);
    QTimer::singleShot(0, widget,
                       [widget] { widget->findChild<QPushButton*>("firstButton")->click(); });
  });
  tell(dialog, "This song is not in the library, so it has no details:");
  EXPECT_EQ(captions, std::vector<QString>{"OK"});
  dialog.setOnOpen([&](MessageDialogWidget* widget) {
    captions = visibleButtons(widget);
    QTimer::singleShot(0, widget, [widget] { widget->reject(); });
  });
  EXPECT_EQ(ask(dialog, "Sure?", "Yes", "No"), kSecondButton);
  EXPECT_EQ(captions, (std::vector<QString>{"Yes", "No"}));
}

TEST(MessageDialogTest, ACallFromAnotherThreadRunsOnTheWindowThreadAndWaits) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  pressOnOpen(dialog, "secondButton");
  std::atomic<int32_t> answer{0};
  std::thread worker([&] { answer.store(dialog.show(question()).button); });
  EXPECT_TRUE(processEventsUntil([&] { return answer.load() != 0; }));
  worker.join();
  EXPECT_EQ(answer.load(), kSecondButton);
}

TEST(MessageDialogTest, CloseAnswersAWaitingCallerAsAClosedDialog) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  std::atomic<bool> opened{false};
  dialog.setOnOpen([&opened](MessageDialogWidget*) { opened.store(true); });
  std::atomic<int32_t> answer{0};
  std::thread worker([&] { answer.store(dialog.show(question()).button); });
  // The dialog opens (its loop runs inside this one); closing the program answers the caller.
  QTimer::singleShot(0, &dialog, [&] {});
  bool closed = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, &dialog, [&] {
    if (opened.load() && !closed) {
      closed = true;
      dialog.close();
    }
  });
  closer.start(1);
  EXPECT_TRUE(processEventsUntil([&] { return answer.load() != 0; }));
  worker.join();
  EXPECT_EQ(answer.load(), kSecondButton);
  // Later calls answer at once.
  EXPECT_EQ(dialog.show(question()).button, kSecondButton);
}

// Counts the power-off requests; switches nothing off.
class FakePower final : public PowerControl {
 public:
  bool canPowerOff() override { return true; }
  bool powerOff() override {
    requests.fetch_add(1);
    return true;
  }
  std::atomic<int32_t> requests{0};
};

TEST(ShutdownAfterBuildTest, TimeOutPowersOffAndAbortDoesNot) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  FakePower power;
  dialog.setOnOpen([](MessageDialogWidget* widget) {
    EXPECT_EQ(widget->timeOutTimer()->interval(), 30000);
    QTimer::singleShot(0, widget, [widget] { widget->timeOut(); });
  });
  EXPECT_TRUE(runShutdownAfterBuild(dialog, power));
  EXPECT_EQ(power.requests.load(), 1);
  pressOnOpen(dialog, "secondButton");
  EXPECT_FALSE(runShutdownAfterBuild(dialog, power));
  EXPECT_EQ(power.requests.load(), 1);
}

}  // namespace
}  // namespace tunora::ui::qt
