// The Database dialog: the import box, the eleven maintenance functions with their inputs and
// confirmations, "ChangeDB" / "NewDB", "Advanced" and "Help", and two status lines. Modeless;
// GUI thread only. Its questions are asked on the GUI thread before any work starts; the work
// (a function under grant 32, an import under grant 30, a change of library under grant 28)
// runs on a thread of the program's ThreadSet and reports through the status lines. Closing the
// dialog asks a running function or import to stop; the thread ends on its own.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "maintenance/database_work.h"
#include "ui/qt/dialog_parts.h"
#include "ui/window_actions.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tunora::ui::qt {

// The file and folder choosers (tests replace them).
struct DatabaseChoosers {
  // A folder, starting at `start`; nullopt when cancelled.
  std::function<std::optional<std::string>(QWidget* parent, const std::string& start)>
      choose_folder;
  // A file: filter 1 "Tunora Files", 2 "Playlists", 3 "MarlBase"; `save` for the save chooser.
  std::function<std::optional<std::string>(QWidget* parent, const std::string& proposed,
                                           int32_t filter, bool save)>
      choose_file;
};
DatabaseChoosers qtDatabaseChoosers();

// What the dialog's owner supplies besides the program's parts.
struct DatabaseDialogHooks {
  DatabaseChoosers choosers = qtDatabaseChoosers();
  // Runs a maintenance function (tests hold a run with it).
  maintenance::DbRunner runner = maintenance::runDbFunction;
  // Saves the settings file (after "ChangeDB" / "NewDB"); called on a worker thread.
  std::function<void()> save_settings;
  // "Advanced": the Internals dialog, owned by this dialog.
  std::function<void(QWidget* owner)> open_advanced;
};

class DatabaseDialog final : public QDialog {
  Q_OBJECT

 public:
  DatabaseDialog(const DialogParts& parts, WindowActions& actions, DatabaseDialogHooks hooks,
                 QWidget* parent = nullptr);
  ~DatabaseDialog() override;
  DatabaseDialog(const DatabaseDialog&) = delete;
  DatabaseDialog& operator=(const DatabaseDialog&) = delete;

  // "OK", "Cancel", Escape and the window's close all end here: a running function or import is
  // told to stop.
  void done(int result) override;

  QString line1() const;
  QString line2() const;
  // Work this dialog started that has not reported its end yet.
  int32_t runningWork() const { return running_; }

  // The state the dialog's threads share with it (defined in the .cc).
  struct Shared;

 private:
  void build();
  void select();
  void startImport();
  void go();
  void changeLibrary(maintenance::DbChangeKind kind);
  // The function's inputs, or nullopt when the user cancelled or the inputs refuse it (line 2
  // then says why).
  std::optional<maintenance::DbInputs> gatherInputs(maintenance::DbFunction function);
  // Starts `body` on a program thread; false (nothing started) when the program is closing.
  bool startWork(std::function<void()> body);
  void workEnded(bool import);
  void setLine(QLabel* line, const std::string& text);
  void updateButtons();
  void abortWork();

  DialogParts parts_;
  WindowActions& actions_;
  DatabaseDialogHooks hooks_;
  std::shared_ptr<Shared> shared_;
  int32_t running_ = 0;
  bool import_running_ = false;

  QRadioButton* folder_ = nullptr;
  QRadioButton* playlist_ = nullptr;
  QLineEdit* source_ = nullptr;
  QPushButton* select_ = nullptr;
  QPushButton* import_ = nullptr;
  QComboBox* functions_ = nullptr;
  QPushButton* go_ = nullptr;
  QPushButton* change_db_ = nullptr;
  QPushButton* new_db_ = nullptr;
  QLabel* line1_ = nullptr;
  QLabel* line2_ = nullptr;
};

}  // namespace tunora::ui::qt
