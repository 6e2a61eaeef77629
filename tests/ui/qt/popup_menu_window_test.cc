// The popup menu, the Rate keypad and the About dialog offscreen: a right click in each area, the
// M key and the play list's request show the menu of their description; choosing an item posts
// its command; the keypad reports each button's command and 2 for Cancel.
#include <gtest/gtest.h>

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "tests/ui/qt/qt_test_support.h"
#include "ui/command_numbers.h"
#include "ui/popup_input.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_message_dialog.h"
#include "ui/qt/rate_keypad_dialog.h"
#include "ui/rate_keypad.h"
#include "tests/support/fake_env.h"

namespace tunora::ui::qt {
namespace {

std::vector<std::string> outline(const QMenu& menu) {
  std::vector<std::string> lines;
  for (QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      lines.push_back("-");
    } else if (action->menu() != nullptr) {
      lines.push_back(action->text().toStdString() + ">");
    } else {
      lines.push_back(action->text().toStdString() + "=" + std::to_string(action->data().toInt()) +
                      (action->isChecked() ? "*" : ""));
    }
  }
  return lines;
}
std::vector<std::string> outline(const std::vector<MenuItem>& items) {
  std::vector<std::string> lines;
  for (const MenuItem& item : items) {
    if (item.kind == MenuItem::Kind::kSeparator) {
      lines.push_back("-");
    } else if (item.kind == MenuItem::Kind::kSubmenu) {
      lines.push_back(item.text + ">");
    } else {
      lines.push_back(item.text + "=" + std::to_string(item.command) + (item.checked ? "*" : ""));
    }
  }
  return lines;
}
QMenu* submenu(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) return action->menu();
  }
  return nullptr;
}
QAction* item(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) return action;
  }
  return nullptr;
}

class PopupWindowTest : public ::testing::Test {
 protected:
  PopupWindowTest() : program_(env_), dialog_("/nowhere/ReadMe.htm", QIcon()) {
    window_.emplace(MainWindowParts{program_.lock(), program_.settings(), program_.playList(),
                                    program_.status(), player_, program_.context(),
                                    program_.updateWriter(), program_.updateQueue(), state_,
                                    dialog_, cover_, std::vector<QIcon>{}, QIcon(), nullptr});
    window_->resize(800, 600);
    window_->show();
  }
  ~PopupWindowTest() override {
    if (QMenu* menu = window_->popupMenu()) menu->close();
  }
  PopupSources sources() {
    return PopupSources{program_.words(), program_.settings(), program_.playList(),
                        program_.updateWriter(), program_.updateQueue()};
  }
  void rightClick(int x, int y) {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(x, y),
                        window_->mapToGlobal(QPointF(x, y)), Qt::RightButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(window_.operator->(), &release);
  }
  // The menu shown now, compared with a description built from the same state.
  void expectShownMenu(int32_t click_x) {
    QMenu* menu = window_->popupMenu();
    ASSERT_NE(menu, nullptr);
    WindowState copy_target;
    copy_target.client_width.store(state_.client_width.load());
    copy_target.client_height.store(state_.client_height.load());
    copy_target.menu_from_list.store(state_.menu_from_list.load());
    const MenuSpec description = preparePopupMenu(sources(), copy_target, click_x);
    EXPECT_EQ(outline(*menu), outline(description.items));
    for (const MenuItem& entry : description.items) {
      if (entry.kind != MenuItem::Kind::kSubmenu) continue;
      QMenu* sub = submenu(menu, QString::fromStdString(entry.text));
      ASSERT_NE(sub, nullptr) << entry.text;
      EXPECT_EQ(outline(*sub), outline(entry.submenu)) << entry.text;
    }
  }

  FakeEnv env_;
  Program program_;
  player::PlayerState player_;
  WindowState state_;
  QtMessageDialog dialog_;
  CoverPicture cover_;
  std::optional<MainWindow> window_;
};

TEST_F(PopupWindowTest, EachAreaOpensTheMenuOfItsDescription) {
  // The upper-right display: its view's menu.
  rightClick(600, 100);
  expectShownMenu(600);
  EXPECT_EQ(state_.view_target_lower_left.load(), 0);
  ASSERT_NE(submenu(window_->popupMenu(), "View"), nullptr);
  EXPECT_NE(item(submenu(window_->popupMenu(), "View"), "Cover"), nullptr);

  // The left half of a window taller than 500: the lower-left view's menu.
  rightClick(100, 100);
  expectShownMenu(100);
  EXPECT_EQ(state_.view_target_lower_left.load(), 1);
  EXPECT_NE(item(submenu(window_->popupMenu(), "View"), "Nothing"), nullptr);

  // The M key: a click at x 0.
  state_.view_target_lower_left.store(0);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, "m");
  QCoreApplication::sendEvent(window_.operator->(), &key);
  ASSERT_TRUE(processEventsUntil([&] { return window_->popupMenu() != nullptr; }));
  expectShownMenu(0);
  EXPECT_EQ(state_.view_target_lower_left.load(), 1);

  // The play list's request: its section, here for an empty list.
  Q_EMIT window_->listView()->customContextMenuRequested(QPoint(5, 5));
  EXPECT_EQ(state_.menu_from_list.load(), 1);
  expectShownMenu(0);
  EXPECT_NE(item(window_->popupMenu(), "Clear List"), nullptr);
  EXPECT_EQ(item(window_->popupMenu(), "Remove"), nullptr);

  // Closing it ends the play list's request.
  window_->popupMenu()->close();
  ASSERT_TRUE(processEventsUntil([&] { return state_.menu_from_list.load() == 0; }));

  // While start-up still opens the database the play list's request is ignored.
  state_.opening_database.store(1);
  Q_EMIT window_->listView()->customContextMenuRequested(QPoint(5, 5));
  EXPECT_EQ(state_.menu_from_list.load(), 0);
}

TEST_F(PopupWindowTest, ChoosingAnItemPostsItsCommand) {
  program_.settings().set(settings::kOnTop, 0);
  rightClick(600, 100);
  QAction* on_top = item(window_->popupMenu(), "On Top Toggle");
  ASSERT_NE(on_top, nullptr);
  EXPECT_FALSE(on_top->isChecked());
  on_top->trigger();
  // Posted, not run inside the menu: it arrives through the window's channel.
  ASSERT_TRUE(processEventsUntil([&] { return program_.settings().get(settings::kOnTop) == 1; }));

  rightClick(600, 100);
  EXPECT_TRUE(item(window_->popupMenu(), "On Top Toggle")->isChecked());
  QAction* album = item(submenu(window_->popupMenu(), "View"), "Other songs from this album");
  ASSERT_NE(album, nullptr);
  album->trigger();
  ASSERT_TRUE(processEventsUntil(
      [&] { return program_.settings().get(settings::kUpperRightView) == kViewAlbum; }));
}

TEST(RateKeypadDialogTest, EachButtonReportsItsCommandAndCancelReportsTwo) {
  for (const RateButton& button : kRateButtons) {
    RateKeypadDialog keypad;
    EXPECT_TRUE(keypad.windowFlags() & Qt::FramelessWindowHint);
    keypad.open();
    auto* widget = keypad.findChild<QPushButton*>(QString("rate%1").arg(button.command));
    ASSERT_NE(widget, nullptr) << button.text;
    EXPECT_EQ(widget->text(), QString::fromLatin1(button.text));
    widget->click();
    EXPECT_FALSE(keypad.isVisible());
    EXPECT_EQ(keypad.result(), button.command) << button.text;
  }
  RateKeypadDialog keypad;
  keypad.open();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&keypad, &escape);
  EXPECT_EQ(keypad.result(), kRateCancel);
}

TEST(AboutDialogTest, ShowsTheVersionTheLibraryAndTheHelpLink) {
  AboutDialog about({"/home/me/Tunora.mbf", 1234, "/opt/tunora/ReadMe.htm"});
  auto* text = about.findChild<QLabel*>("aboutText");
  ASSERT_NE(text, nullptr);
  const QString shown = text->text();
  EXPECT_TRUE(shown.contains("Tunora 1.9"));
  EXPECT_TRUE(shown.contains("/home/me/Tunora.mbf"));
  EXPECT_TRUE(shown.contains("Songs: 1234"));
  EXPECT_TRUE(shown.contains("href=\"file:///opt/tunora/ReadMe.htm\""));
  EXPECT_TRUE(text->openExternalLinks());
}

}  // namespace
}  // namespace tunora::ui::qt
