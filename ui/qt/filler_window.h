// The window "Tunora Media Filler": the fill's choices, the output folder, and the buttons that
// start, stop and end a fill. The fill runs on a thread of the program's thread set; its titles
// come back queued to the window's thread. GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "filler/fill_engine.h"
#include "filler/filler_form.h"
#include "ui/qt/filler_parts.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QMenu;

namespace tunora::ui::qt {

class FillerWindow final : public QWidget {
 public:
  explicit FillerWindow(FillerWindowParts parts, QWidget* parent = nullptr);
  ~FillerWindow() override;

  // Shows the filler block's values in the controls.
  void showSettings();
  // Reads the controls into the filler block.
  void readControls();
  // Applies "On Top" (the `OnTop` setting) to this window.
  void applyOnTop();
  // Called once the window has closed (the program ends its loop then).
  void setOnClosed(std::function<void()> on_closed) { on_closed_ = std::move(on_closed); }
  // True while a fill runs.
  bool filling() const { return job_ != nullptr; }
  // Stops a running fill between two files.
  void stopFill();
  // The right-click menu as it would open now (for tests).
  QMenu* buildPopupMenu();

  // The fill thread's end (called queued on the window's thread).
  void fillEnded(const filler::FillResult& result);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct Job;
  void build();
  void startFill();
  void closeAndSave();
  void reset();
  void changeFolder();
  void openOutputFolder();
  void applyEnabling();
  void toggleOnTop();
  filler::FillerForm form() const;

  FillerWindowParts p_;
  std::function<void()> on_closed_;
  std::shared_ptr<Job> job_;

  QComboBox* size_ = nullptr;
  QCheckBox* all_ = nullptr;
  std::array<QCheckBox*, filler::kTypeBoxes> types_{};
  QComboBox* naughty_ = nullptr;
  QComboBox* min_rating_ = nullptr;
  QComboBox* user_ = nullptr;
  QComboBox* user_mode_ = nullptr;
  QCheckBox* empty_dir_ = nullptr;
  QCheckBox* add_number_ = nullptr;
  QLineEdit* output_ = nullptr;
  QPushButton* change_ = nullptr;
  QPushButton* open_output_ = nullptr;
  QPushButton* fill_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* close_ = nullptr;
  QPushButton* reset_ = nullptr;
  QPushButton* help_ = nullptr;
};

}  // namespace tunora::ui::qt
