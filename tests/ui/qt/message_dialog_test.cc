// The message dialog: both forms, both buttons, the time-out as the first button, calls from
// another thread, and the answer of a dialog closed with the window; the shutdown dialog over it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <thread>

#include "ui/shutdown.h"
#include "ui/qt/message_dialog_widget.h"
#include "ui/qt/qt_message_dialog.h"
#include "tests/ui/qt/qt_test_support.h"

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
