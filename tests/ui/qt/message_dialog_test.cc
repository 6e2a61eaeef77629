// The message dialog: the answer and the captions of each form and button, the time-out as the
// first button, calls from another thread, and the answer of a dialog closed with the window.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <thread>

#include "tests/ui/qt/qt_fixture.h"
#include "ui/qt/message_dialog_widget.h"
#include "ui/qt/qt_message_dialog.h"

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

// Does `act` on each dialog once its own loop runs, noting its visible buttons.
void onOpen(QtMessageDialog& dialog, std::vector<QString>* captions,
            std::function<void(MessageDialogWidget*)> act) {
  dialog.setOnOpen([captions, act](MessageDialogWidget* widget) {
    for (QPushButton* button : widget->findChildren<QPushButton*>()) {
      if (captions != nullptr && !button->isHidden()) captions->push_back(button->text());
    }
    QTimer::singleShot(0, widget, [widget, act] { act(widget); });
  });
}

// Each row: the request, what the user does ("first", "second", "close" or "time-out": the
// timer's own target, without waiting), the answer and the visible buttons.
TEST(MessageDialogTest, EachFormAnswersWithTheButtonPressedUnderItsCaptions) {
  MessageRequest timed = question(MessageKind::kSmallMessage);
  timed.timeout_seconds = 30;
  MessageRequest bare = question(MessageKind::kInput);
  bare.first_button.clear();
  bare.second_button.clear();
  const std::vector<QString> both = {"Sure, delete please", "No, don't delete"};
  const struct {
    MessageRequest request;
    std::string act;
    int32_t answer;
    std::vector<QString> captions;
  } rows[] = {{question(), "first", kFirstButton, both},
              {question(MessageKind::kSmallMessage), "second", kSecondButton, both},
              {question(), "close", kSecondButton, both},
              {timed, "time-out", kFirstButton, both},
              {bare, "first", kFirstButton, {"OK", "Cancel"}}};
  for (const auto& row : rows) {
    QtMessageDialog dialog("/nowhere/ReadMe.htm", QIcon());
    std::vector<QString> captions;
    int timer = -1;  // the time-out timer's interval while it runs, 0 when there is none
    onOpen(dialog, &captions, [&](MessageDialogWidget* w) {
      QTimer* t = w->timeOutTimer();
      timer = t == nullptr ? 0 : (t->isActive() ? t->interval() : -2);
      if (row.act == "close") w->reject();
      if (row.act == "time-out") w->timeOut();
      if (row.act == "first" || row.act == "second")
        press(w, QString::fromStdString(row.act + "Button"));
    });
    EXPECT_EQ(dialog.show(row.request).button, row.answer) << row.act;
    EXPECT_EQ(captions, row.captions) << row.act;
    EXPECT_EQ(timer, row.request.timeout_seconds * 1000) << row.act;
  }
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

}  // namespace
}  // namespace tunora::ui::qt
