// The message dialog: the answer and the captions of each form and button, the time-out as the
// first button, the typed text of an input form, calls from another thread, and the answer of a
// dialog closed with the window; the ReadMe in the help window; the shutdown dialog over it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <atomic>
#include <thread>

#include "tests/ui/qt/qt_fixture.h"
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

std::vector<QString> visibleButtons(MessageDialogWidget* widget) {
  std::vector<QString> captions;
  for (QPushButton* button : widget->findChildren<QPushButton*>()) {
    if (!button->isHidden()) captions.push_back(button->text());
  }
  return captions;
}

// Does `act` on each dialog once its own loop runs, noting its visible buttons.
void onOpen(QtMessageDialog& dialog, std::vector<QString>* captions,
            std::function<void(MessageDialogWidget*)> act) {
  dialog.setOnOpen([captions, act](MessageDialogWidget* widget) {
    if (captions != nullptr) *captions = visibleButtons(widget);
    QTimer::singleShot(0, widget, [widget, act] { act(widget); });
  });
}
void press(MessageDialogWidget* widget, const char* name) {
  widget->findChild<QPushButton*>(name)->click();
}

TEST(MessageDialogTest, EachFormAnswersWithTheButtonPressedUnderItsCaptions) {
  MessageRequest timed = question(MessageKind::kSmallMessage);
  timed.timeout_seconds = 30;
  MessageRequest bare = question(MessageKind::kInput);
  bare.first_button.clear();
  bare.second_button.clear();
  struct Row {
    const char* name;
    MessageRequest request;
    std::function<void(MessageDialogWidget*)> act;
    int32_t answer;
    std::vector<QString> captions;
  };
  const std::vector<QString> both = {"Sure, delete please", "No, don't delete"};
  const std::vector<Row> rows = {
      {"first button", question(), [](auto* w) { press(w, "firstButton"); }, kFirstButton, both},
      {"second button, small", question(MessageKind::kSmallMessage),
       [](auto* w) { press(w, "secondButton"); }, kSecondButton, both},
      {"closed, no timer", question(),
       [](auto* w) {
         EXPECT_EQ(w->timeOutTimer(), nullptr);
         w->reject();
       },
       kSecondButton, both},
      {"time-out", timed,
       [](auto* w) {
         ASSERT_NE(w->timeOutTimer(), nullptr);
         EXPECT_EQ(w->timeOutTimer()->interval(), 30000);
         EXPECT_TRUE(w->timeOutTimer()->isActive());
         w->timeOut();  // the timer's own target, without waiting 30 seconds
       },
       kFirstButton, both},
      {"input without captions",
       bare,
       [](auto* w) { press(w, "firstButton"); },
       kFirstButton,
       {"OK", "Cancel"}}};
  for (const Row& row : rows) {
    QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
    std::vector<QString> captions;
    onOpen(dialog, &captions, row.act);
    EXPECT_EQ(dialog.show(row.request).button, row.answer) << row.name;
    EXPECT_EQ(captions, row.captions) << row.name;
  }
}

// Keys as the keyboard gives them to the widget that has the dialog's focus; a key the widget
// leaves alone goes on to the dialog (Return presses the default button).
void typeIntoFocus(MessageDialogWidget* widget, const QString& text) {
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
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
}

// The prompts of the search ("Search"), "Goto" and the like: the line has the keyboard focus
// with the last text selected, so what is typed replaces it and Return confirms it; the line
// read back is cut to 600 bytes.
TEST(MessageDialogTest, AnInputFormAnswersWithTheTypedText) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  std::vector<QString> captions;
  QLineEdit* line = nullptr;
  QWidget* focused = nullptr;
  onOpen(dialog, &captions, [&](MessageDialogWidget* widget) {
    line = widget->findChild<QLineEdit*>();
    focused = widget->focusWidget();
    EXPECT_EQ(line->text(), "last search");
    typeIntoFocus(widget, "blue");
  });
  MessageRequest request = question(MessageKind::kInput);
  request.first_button = "Search";
  request.second_button = "Cancel";
  request.text = "last search";
  const MessageResult typed = dialog.show(request);
  EXPECT_EQ(focused, line);
  EXPECT_EQ(captions, (std::vector<QString>{"Search", "Cancel"}));
  EXPECT_EQ(typed.button, kFirstButton);
  EXPECT_EQ(typed.text, "blue");

  onOpen(dialog, nullptr, [](MessageDialogWidget* widget) {
    widget->findChild<QLineEdit*>()->setText(QString(700, 'x'));
    press(widget, "firstButton");
  });
  EXPECT_EQ(dialog.show(request).text, std::string(600, 'x'));
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
  tunora::testing::writeText(dir.filePath("ReadMe.htm").toStdString(),
                             "<html><body><h1>The user's guide</h1></body></html>");
  {
    QtMessageDialog dialog(dir.filePath("ReadMe.htm"), QIcon());
    dialog.openReadMe();
    dialog.openReadMe();
    QApplication::processEvents();
    ASSERT_EQ(helpWindows().size(), 1);
    EXPECT_TRUE(helpWindows()[0]->toPlainText().contains("The user's guide"));
  }
  EXPECT_TRUE(helpWindows().isEmpty());  // it goes with the dialog
  QtMessageDialog missing("/nowhere/ReadMe.htm", QIcon());
  missing.openReadMe();
  QApplication::processEvents();
  ASSERT_EQ(helpWindows().size(), 1);
  EXPECT_TRUE(helpWindows()[0]->toPlainText().contains("/nowhere/ReadMe.htm is missing"));
}

TEST(MessageDialogTest, ACallFromAnotherThreadWaitsAndClosingAnswersItAsClosed) {
  QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
  onOpen(dialog, nullptr, [](auto* w) { press(w, "secondButton"); });
  std::atomic<int32_t> answer{0};
  std::thread worker([&] { answer.store(dialog.show(question()).button); });
  EXPECT_TRUE(processEventsUntil([&] { return answer.load() != 0; }));
  worker.join();
  EXPECT_EQ(answer.load(), kSecondButton);

  // The dialog opens (its loop runs inside this one); closing the program answers the caller.
  std::atomic<bool> opened{false};
  dialog.setOnOpen([&opened](MessageDialogWidget*) { opened.store(true); });
  answer.store(0);
  std::thread waiting([&] { answer.store(dialog.show(question()).button); });
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, &dialog, [&] {
    if (opened.exchange(false)) dialog.close();
  });
  closer.start(1);
  EXPECT_TRUE(processEventsUntil([&] { return answer.load() != 0; }));
  waiting.join();
  EXPECT_EQ(answer.load(), kSecondButton);
  EXPECT_EQ(dialog.show(question()).button, kSecondButton) << "later calls answer at once";
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
  onOpen(dialog, nullptr, [](MessageDialogWidget* widget) { widget->timeOut(); });
  EXPECT_TRUE(runShutdownAfterBuild(dialog, power));
  EXPECT_EQ(power.requests.load(), 1);
  onOpen(dialog, nullptr, [](auto* w) { press(w, "secondButton"); });
  EXPECT_FALSE(runShutdownAfterBuild(dialog, power));
  EXPECT_EQ(power.requests.load(), 1);
}

}  // namespace
}  // namespace tunora::ui::qt
