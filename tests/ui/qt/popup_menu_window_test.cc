// The popup menu, the Rate keypad and the About dialog offscreen: choosing a menu item posts
// its command, which stores the setting it names; the keypad reports each button's command and
// 2 for Cancel; About shows the version, the library and the help link.
#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

#include "tests/ui/qt/qt_fixture.h"
#include "ui/command_numbers.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/rate_keypad_dialog.h"
#include "ui/rate_keypad.h"

namespace tunora::ui::qt {
namespace {

QAction* item(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) return action;
  }
  return nullptr;
}
std::string texts(QMenu* menu) {
  std::string out;
  for (QAction* action : menu->actions()) out += action->text().toStdString() + "|";
  return out;
}
QMenu* submenu(QMenu* menu, const QString& text) {
  QAction* action = item(menu, text);
  return action != nullptr ? action->menu() : nullptr;
}

class PopupWindowTest : public WindowTest {
 protected:
  void SetUp() override { startProgram(2, {}, false); }
  // A right click in the upper-right display; the menu it shows.
  QMenu* rightClick() {
    const QPointF at(600, 100);
    QMouseEvent release(QEvent::MouseButtonRelease, at, window_->mapToGlobal(at), Qt::RightButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&*window_, &release);
    return window_->popupMenu();
  }
};

TEST_F(PopupWindowTest, ChoosingAnItemStoresTheSettingItNames) {
  settings().set(settings::kOnTop, 0);
  settings().set(settings::kLowerLeftView, kViewNothing);  // the upper right offers the lists
  QMenu* menu = rightClick();
  ASSERT_NE(menu, nullptr);
  ASSERT_NE(item(menu, "On Top Toggle"), nullptr);
  EXPECT_FALSE(item(menu, "On Top Toggle")->isChecked());
  item(menu, "On Top Toggle")->trigger();
  // Posted, not run inside the menu: it arrives through the window's channel.
  ASSERT_TRUE(processEventsUntil([&] { return settings().get(settings::kOnTop) == 1; }));
  menu = rightClick();
  EXPECT_TRUE(item(menu, "On Top Toggle")->isChecked());
  QMenu* view = submenu(menu, "View");
  ASSERT_NE(view, nullptr) << texts(menu);
  QAction* album = item(view, "Other songs from this album");
  ASSERT_NE(album, nullptr) << texts(view);
  album->trigger();
  ASSERT_TRUE(
      processEventsUntil([&] { return settings().get(settings::kUpperRightView) == kViewAlbum; }));
  menu->close();
}

TEST(RateKeypadDialogTest, EachButtonReportsItsCommandAndCancelReportsTwo) {
  for (const RateButton& button : kRateButtons) {
    RateKeypadDialog keypad;
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
  for (const char* part : {"Tunora 1.9", "/home/me/Tunora.mbf", "Songs: 1234",
                           "href=\"file:///opt/tunora/ReadMe.htm\""}) {
    EXPECT_TRUE(text->text().contains(part)) << part;
  }
  EXPECT_TRUE(text->openExternalLinks());
}

}  // namespace
}  // namespace tunora::ui::qt
