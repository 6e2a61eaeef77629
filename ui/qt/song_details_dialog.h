// The Song details dialog: shows and edits one record of the song library, browses it ("<",
// ">", "Goto", "Find", "Find More"), deletes a song, re-reads its tags and puts it at the top
// of the play list. Modal over the main window without blocking it: every button sets a work
// state, and a 100 ms timer starts the state's database work on a worker thread (grant 36,
// ui/song_details_work.h), whose outcome comes back as a queued call. GUI thread only.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "maintenance/song_details.h"
#include "ui/qt/dialog_parts.h"
#include "ui/song_details_work.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tunora::ui::qt {

class SongDetailsDialog final : public QDialog {
  Q_OBJECT

 public:
  // Opens on `record`; `last_search_text` is shared with the search window and must outlive
  // the dialog. The dialog deletes itself when it closes.
  SongDetailsDialog(const DialogParts& parts, std::string& last_search_text, int32_t record,
                    QWidget* parent);
  ~SongDetailsDialog() override;

  // The work state (maintenance::DetailsState): 0 once closed.
  int32_t workState() const { return static_cast<int32_t>(state_); }
  // Shows another record (the dialog opened again).
  void showRecord(int32_t record);
  // Closes as "Cancel": nothing saved, work not yet begun is dropped.
  void reject() override;

  // The record shown (DB Idx - 1).
  int32_t record() const;
  // True while a step waits for its grant or runs.
  bool busy() const { return busy_; }

 private:
  struct Shared;
  QLineEdit* addText(const char* tooltip, int max_length, const char* name);
  QPushButton* addButton(const char* text, const char* tooltip, const char* name);
  void buildControls();

  // A button's work state: the work starts with the next tick.
  void request(maintenance::DetailsState state);
  void tick();
  void finish(const DetailsOutcome& outcome, uint64_t generation);
  void showFields(const maintenance::SongFields& fields);
  maintenance::SongFields fieldsShown() const;
  void closeDialog();

  void find();
  void gotoEntry();
  void deleteSong();
  void putAtTop(bool play);

  DialogParts parts_;
  std::string& last_search_text_;
  std::shared_ptr<Shared> shared_;
  QTimer timer_;
  maintenance::DetailsState state_ = maintenance::DetailsState::kLoad;
  bool delete_pending_ = false;
  // The step on its way (valid while busy_).
  maintenance::DetailsState running_state_ = maintenance::DetailsState::kLoad;
  bool running_delete_ = false;
  bool busy_ = false;
  bool top_busy_ = false;
  uint64_t generation_ = 0;  // counts the buttons' requests
  int32_t live_count_ = 0;

  QLineEdit* name_ = nullptr;
  QLineEdit* artist_ = nullptr;
  QLineEdit* album_ = nullptr;
  QLineEdit* style_ = nullptr;
  QLineEdit* comment_ = nullptr;
  QLineEdit* file_name_ = nullptr;
  QLineEdit* file_size_ = nullptr;
  QLineEdit* play_count_ = nullptr;
  QLineEdit* file_id_ = nullptr;
  QLineEdit* db_idx_ = nullptr;
  QLabel* entries_ = nullptr;
  QCheckBox* start_set_ = nullptr;
  QSpinBox* start_ = nullptr;
  QCheckBox* end_set_ = nullptr;
  QSpinBox* end_ = nullptr;
  QComboBox* o_scale_ = nullptr;
  QCheckBox* lock_ = nullptr;
  std::array<QSpinBox*, 10> ratings_{};
};

}  // namespace tunora::ui::qt
