// The welcome dialog ("Welcome to Tunora 1.9") that start-up shows on a first run and after an
// upgrade that asks for it: "Import music now" or "No, I have other plans". The import choice
// becomes request 13 once the window is up: the request executor then opens the Database
// dialog, where music is imported. GUI thread only.
#pragma once

#include <QDialog>
#include <QPointer>

#include "engine/shared_lock.h"
#include "platform/welcome.h"

namespace tunora::ui::qt {

inline constexpr char kWelcomeTitle[] = "Welcome to Tunora 1.9";
inline constexpr char kWelcomeText[] =
    "Tunora is almost ready to deliver music to you the way you like it.";
inline constexpr char kWelcomeImport[] = "Import music now";
inline constexpr char kWelcomeImportTooltip[] = "Importing music now from a directory";
inline constexpr char kWelcomeLater[] = "No, I have other plans";
inline constexpr char kWelcomeLaterTooltip[] =
    "Importing is necesary for Tunora to work, but it can be done later";

// The dialog itself: result 1 for "Import music now", 2 for the other button or closing it.
class WelcomeWindow final : public QDialog {
  Q_OBJECT

 public:
  explicit WelcomeWindow(QWidget* parent = nullptr);
  void reject() override;
};

class QtWelcomeDialog final : public WelcomeDialog {
 public:
  // Shows the dialog modally (the same dialog in both modes).
  void showWelcome(WelcomeMode mode) override;
  bool importChosen() const { return import_chosen_; }
  // Closes the dialog if it is open (as its close box does) and shows none from now on: the
  // program is ending (a termination signal during start-up).
  void close();
  // Once the lock's executor is about to run: posts request 13 when "Import music now" was
  // chosen (once). Never waits.
  void postImportRequest(engine::SharedLock& lock);

 private:
  bool import_chosen_ = false;
  bool closed_ = false;
  QPointer<QDialog> open_;
};

}  // namespace tunora::ui::qt
