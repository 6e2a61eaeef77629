// The Song details dialog.
#include "ui/qt/song_details_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>

#include "engine/executor_work.h"
#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "maintenance/song_search.h"
#include "ui/put_at_top.h"
#include "ui/qt/post_to_widget.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {

using maintenance::DetailsState;

namespace {

constexpr int kTickMillis = 100;
constexpr int kPointSpinMax = 32767;
constexpr int kRatingSpinMax = 10;
constexpr char kFindButton[] = "Search";
constexpr char kGotoButton[] = "Goto";
constexpr const char* kOScaleItems[] = {"Clean", "Muddy", "Dirty", "Really Dirty"};

bool writingState(DetailsState state) {
  return state == DetailsState::kSave || state == DetailsState::kSaveAndClose ||
         state == DetailsState::kReloadTags;
}

}  // namespace

// What the dialog shares with its workers: the abort flag, and the dialog to post to.
struct SongDetailsDialog::Shared {
  std::atomic<bool> abort{false};
  QPointer<SongDetailsDialog> dialog;  // set by the dialog before any thread starts

  // Any thread: posts `command` to the main window if the dialog is still there when the call
  // reaches the GUI thread (the window, and so its channel, outlives the dialog).
  void postCommand(engine::WindowChannel& channel, int32_t command) {
    postToWidget(dialog,
                 [&channel, command](SongDetailsDialog&) { channel.postCommand(command, 0); });
  }

  // Any thread: runs `fn` on the dialog's thread, if the dialog is still there then.
  void post(std::function<void(SongDetailsDialog*)> fn) {
    postToWidget(dialog, [fn = std::move(fn)](SongDetailsDialog& d) { fn(&d); });
  }
};

SongDetailsDialog::SongDetailsDialog(const DialogParts& parts, std::string& last_search_text,
                                     int32_t record, QWidget* parent)
    : QDialog(parent),
      parts_(parts),
      last_search_text_(last_search_text),
      shared_(std::make_shared<Shared>()) {
  shared_->dialog = this;
  setWindowTitle("Song Details");
  setObjectName("songDetails");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowModality(Qt::WindowModal);
  buildControls();
  db_idx_->setText(QString::number(static_cast<int64_t>(record) + 1));
  name_->setText("MarlBase busy...");
  timer_.setInterval(kTickMillis);
  connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
  request(DetailsState::kLoad);
}

SongDetailsDialog::~SongDetailsDialog() { shared_->abort.store(true); }

// ---- Controls ----

QLineEdit* SongDetailsDialog::addText(const char* tooltip, int max_length, const char* name) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  if (tooltip != nullptr) edit->setToolTip(tooltip);
  edit->setMaxLength(max_length);
  return edit;
}

QPushButton* SongDetailsDialog::addButton(const char* text, const char* tooltip, const char* name) {
  auto* button = new QPushButton(text, this);
  if (tooltip != nullptr) button->setToolTip(tooltip);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

void SongDetailsDialog::buildControls() {
  auto* layout = new QVBoxLayout(this);

  auto* texts = new QGridLayout;
  name_ = addText("Song Name", kSongTextMax, "name");
  artist_ = addText("Song Artist", kSongTextMax, "artist");
  album_ = addText("Song Album", kSongTextMax, "album");
  style_ = addText("Song Style (To be used in future version for playing by style)", kSongTextMax,
                   "style");
  comment_ = addText("Notes and comments on song", kSongTextMax, "comment");
  file_name_ = addText("Song file name and path", kSongPathMax, "fileName");
  const std::pair<const char*, QLineEdit*> rows[] = {
      {"Name", name_},   {"Artist", artist_},   {"Album", album_},
      {"Style", style_}, {"Comment", comment_}, {"Filename", file_name_}};
  int row = 0;
  for (const auto& [label, edit] : rows) {
    texts->addWidget(new QLabel(label, this), row, 0);
    texts->addWidget(edit, row, 1, 1, 6);
    ++row;
  }
  file_size_ = addText("Song file size in bytes", 20, "fileSize");
  play_count_ = addText("How often song has been played", 10, "playCount");
  file_id_ = addText(nullptr, 10, "fileId");
  for (QLineEdit* number : {file_size_, play_count_, file_id_}) {
    number->setReadOnly(true);
    number->setAlignment(Qt::AlignRight);
  }
  texts->addWidget(new QLabel("FileSize", this), row, 0);
  texts->addWidget(file_size_, row, 1);
  texts->addWidget(new QLabel("Bytes      Play Count", this), row, 2);
  texts->addWidget(play_count_, row, 3);
  auto* id_label = new QLabel("ID", this);
  id_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  texts->addWidget(id_label, row, 4);
  texts->addWidget(file_id_, row, 5, 1, 2);
  texts->setColumnStretch(1, 2);
  texts->setColumnStretch(3, 1);
  texts->setColumnStretch(5, 2);
  layout->addLayout(texts);

  // Start and end points, O-Scale and lock.
  auto* points = new QHBoxLayout;
  start_set_ = new QCheckBox("Set Start Point", this);
  start_set_->setObjectName("startSet");
  start_set_->setToolTip("Enable start point setting");
  start_ = new QSpinBox(this);
  start_->setObjectName("start");
  start_->setToolTip("Starting frame for song");
  end_set_ = new QCheckBox("Set End Point", this);
  end_set_->setObjectName("endSet");
  end_set_->setToolTip("Enable end point setting");
  end_ = new QSpinBox(this);
  end_->setObjectName("end");
  end_->setToolTip("Finishing frame for song");
  for (QSpinBox* spin : {start_, end_}) {
    spin->setRange(0, kPointSpinMax);
    spin->setEnabled(false);
    spin->setMinimumWidth(80);
  }
  connect(start_set_, &QCheckBox::toggled, start_, &QWidget::setEnabled);
  connect(end_set_, &QCheckBox::toggled, end_, &QWidget::setEnabled);
  o_scale_ = new QComboBox(this);
  o_scale_->setObjectName("oScale");
  o_scale_->setToolTip("Is this a naughty or nice song?");
  for (const char* item : kOScaleItems) o_scale_->addItem(item);
  o_scale_->setCurrentIndex(0);
  lock_ = new QCheckBox("Lock Name", this);
  lock_->setObjectName("lockName");
  lock_->setToolTip("Prevent Tunora automatically changing this entry");
  points->addWidget(start_set_);
  points->addWidget(start_);
  points->addSpacing(12);
  points->addWidget(end_set_);
  points->addWidget(end_);
  points->addStretch(1);
  points->addWidget(new QLabel("O-Scale", this));
  points->addWidget(o_scale_);
  points->addSpacing(12);
  points->addWidget(lock_);
  layout->addLayout(points);

  // The ten users' ratings.
  auto* ratings_box = new QGroupBox("Ratings", this);
  auto* ratings = new QGridLayout(ratings_box);
  for (int u = 0; u < kUserCount; ++u) {
    auto* label = new QLabel(QString::number(u + 1), ratings_box);
    label->setAlignment(Qt::AlignCenter);
    auto* spin = new QSpinBox(ratings_box);
    spin->setRange(0, kRatingSpinMax);
    spin->setToolTip("Ratings for this song by each user");
    spin->setObjectName(QString("rating%1").arg(u + 1));
    ratings->addWidget(label, 0, u);
    ratings->addWidget(spin, 1, u);
    ratings_[static_cast<size_t>(u)] = spin;
  }
  layout->addWidget(ratings_box);

  // Browsing and the song's actions.
  auto* browse = new QHBoxLayout;
  db_idx_ = addText("Song number in database", 10, "dbIdx");
  db_idx_->setReadOnly(true);
  db_idx_->setAlignment(Qt::AlignRight);
  db_idx_->setFixedWidth(70);
  browse->addWidget(new QLabel("DB Idx", this));
  browse->addWidget(db_idx_);
  QPushButton* previous =
      addButton("<", "Previous song in database (Does not save data)", "previous");
  QPushButton* next = addButton(">", "Next song in database (Does not save data)", "next");
  for (QPushButton* arrow : {previous, next}) arrow->setMaximumWidth(36);
  QPushButton* go = addButton("Goto", "Goto database entry", "goto");
  QPushButton* find = addButton("Find", "Search for a song", "find");
  QPushButton* find_more = addButton("Find More", "Find next matching entry", "findMore");
  QPushButton* remove = addButton("Delete", "Delete current song", "delete");
  QPushButton* load_id = addButton("Load ID", "Reload ID3 data for song, if any", "loadId");
  QPushButton* play = addButton("Play", "Play this song now", "play");
  QPushButton* play_next = addButton("Next", nullptr, "playNext");
  for (QPushButton* button : {previous, next, go, find, find_more}) browse->addWidget(button);
  browse->addStretch(1);
  for (QPushButton* button : {remove, load_id, play, play_next}) browse->addWidget(button);
  layout->addLayout(browse);

  auto* bottom = new QHBoxLayout;
  entries_ = new QLabel(this);
  entries_->setObjectName("entries");
  bottom->addWidget(entries_);
  bottom->addStretch(1);
  QPushButton* cancel = addButton("Cancel", "Close window. (Does not save data)", "cancel");
  QPushButton* save = addButton("Save", "Save all data for this entry", "save");
  QPushButton* close = addButton("Close", "Save all data for this entry and close window", "close");
  close->setDefault(true);
  close->setAutoDefault(true);
  for (QPushButton* button : {cancel, save, close}) bottom->addWidget(button);
  layout->addLayout(bottom);

  connect(previous, &QPushButton::clicked, this, [this] { request(DetailsState::kPrevious); });
  connect(next, &QPushButton::clicked, this, [this] { request(DetailsState::kNext); });
  connect(go, &QPushButton::clicked, this, [this] { gotoEntry(); });
  connect(find, &QPushButton::clicked, this, [this] { this->find(); });
  connect(find_more, &QPushButton::clicked, this, [this] { request(DetailsState::kFindMore); });
  connect(remove, &QPushButton::clicked, this, [this] { deleteSong(); });
  connect(load_id, &QPushButton::clicked, this, [this] { request(DetailsState::kReloadTags); });
  connect(play, &QPushButton::clicked, this, [this] { putAtTop(true); });
  connect(play_next, &QPushButton::clicked, this, [this] { putAtTop(false); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(save, &QPushButton::clicked, this, [this] { request(DetailsState::kSave); });
  connect(close, &QPushButton::clicked, this, [this] { request(DetailsState::kSaveAndClose); });
}

// ---- Fields ----

int32_t SongDetailsDialog::record() const {
  bool ok = false;
  const int64_t idx = db_idx_->text().toLongLong(&ok);
  return ok && idx >= 1 && idx <= INT32_MAX ? static_cast<int32_t>(idx - 1) : 0;
}

void SongDetailsDialog::showFields(const maintenance::SongFields& f) {
  file_name_->setText(fromBytes(f.file_name));
  file_size_->setText(QString::number(f.file_size));
  name_->setText(fromBytes(f.title));
  artist_->setText(fromBytes(f.artist));
  album_->setText(fromBytes(f.album));
  comment_->setText(fromBytes(f.note));
  o_scale_->setCurrentIndex(f.naughty & 3);
  lock_->setChecked(f.lock);
  // A stored point beyond the spin range is kept as it is, never cut to the range.
  const auto showPoint = [](QCheckBox* set, QSpinBox* spin, bool on, uint32_t value) {
    const int shown =
        value > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(value);
    spin->setMaximum(std::max(kPointSpinMax, shown));
    spin->setValue(shown);
    set->setChecked(on);
    spin->setEnabled(on);
  };
  showPoint(start_set_, start_, f.start_set, f.start);
  showPoint(end_set_, end_, f.end_set, f.end);
  play_count_->setText(QString::number(f.play_count));
  file_id_->setText(QString::number(f.file_id));
  for (size_t u = 0; u < ratings_.size(); ++u) {
    ratings_[u]->setValue(std::clamp(f.ratings[u], 0, kRatingSpinMax));
  }
}

maintenance::SongFields SongDetailsDialog::fieldsShown() const {
  maintenance::SongFields f;
  f.file_name = toBytes(file_name_->text());
  f.title = toBytes(name_->text());
  f.artist = toBytes(artist_->text());
  f.album = toBytes(album_->text());
  f.note = toBytes(comment_->text());
  f.naughty = std::max(0, o_scale_->currentIndex());
  f.lock = lock_->isChecked();
  f.start_set = start_set_->isChecked();
  f.start = static_cast<uint32_t>(start_->value());
  f.end_set = end_set_->isChecked();
  f.end = static_cast<uint32_t>(end_->value());
  for (size_t u = 0; u < ratings_.size(); ++u) f.ratings[u] = ratings_[u]->value();
  return f;
}

// ---- Work states ----

void SongDetailsDialog::request(DetailsState state) {
  if (state_ == DetailsState::kClosed) return;
  state_ = state;
  ++generation_;
  if (static_cast<int32_t>(state) > static_cast<int32_t>(DetailsState::kIdle) || delete_pending_) {
    timer_.start();
    tick();  // the first try at once; the timer tries again while the grant is not had
  }
}

void SongDetailsDialog::tick() {
  if (busy_) return;
  if (state_ == DetailsState::kClosed || (state_ == DetailsState::kIdle && !delete_pending_)) {
    timer_.stop();
    return;
  }
  DetailsRequest work;
  work.state = state_;
  work.delete_record = delete_pending_;
  work.record = record();
  if (state_ == DetailsState::kSave || state_ == DetailsState::kSaveAndClose) {
    work.fields = fieldsShown();
  }
  work.phrase = last_search_text_;
  DetailsWorkParts work_parts{parts_.lock, parts_.library, parts_.settings,
                              parts_.context.fixed_user, parts_.context.data_directory};
  const uint64_t generation = generation_;
  busy_ = true;
  running_state_ = work.state;
  running_delete_ = work.delete_record;
  const bool started =
      parts_.threads.start([shared = shared_, work_parts, work, generation]() mutable {
        DetailsOutcome outcome = runDetailsWork(work_parts, work, shared->abort);
        shared->post([outcome = std::move(outcome), generation](SongDetailsDialog* dialog) {
          dialog->finish(outcome, generation);
        });
      });
  if (!started) {  // the program is stopping
    busy_ = false;
    timer_.stop();
  }
}

void SongDetailsDialog::finish(const DetailsOutcome& outcome, uint64_t generation) {
  busy_ = false;
  if (state_ == DetailsState::kClosed) return;
  if (!outcome.granted) return;  // the timer asks again
  // The step that ended (a button pressed meanwhile has set the state of the next one).
  const DetailsState done = running_state_;
  const bool deleted = running_delete_;
  if (deleted) delete_pending_ = false;
  if (generation == generation_) {
    state_ = DetailsState::kIdle;
    timer_.stop();
  } else {
    // A button pressed meanwhile: its step goes next, without waiting for the timer.
    QMetaObject::invokeMethod(
        this, [this] { tick(); }, Qt::QueuedConnection);
  }
  // The messages below run the dialog's loop: nothing of this object is touched after them.
  if (outcome.offline) {
    showError(parts_.dialog, maintenance::kOfflineText);
    return;
  }
  if (outcome.library_closed) {
    if (deleted || writingState(done)) showError(parts_.dialog, engine::kLibraryClosedNotice);
    return;
  }
  entries_->setText(QString::number(outcome.live_count));
  live_count_ = outcome.live_count;
  if (outcome.close_dialog) {
    closeDialog();
    return;
  }
  if (outcome.loaded) {
    db_idx_->setText(QString::number(static_cast<int64_t>(outcome.record) + 1));
    showFields(outcome.fields);
  }
  if (outcome.no_match) {
    QPointer<SongDetailsDialog> self(this);
    if (ask(parts_.dialog, maintenance::kNoMatchesText, kOkButton,
            maintenance::kCloseDetailsButton) == kSecondButton &&
        self) {
      closeDialog();
    }
    return;
  }
  if (!deleted && done == DetailsState::kSaveAndClose) closeDialog();
}

void SongDetailsDialog::closeDialog() {
  state_ = DetailsState::kClosed;
  shared_->abort.store(true);
  timer_.stop();
  done(QDialog::Rejected);
}

void SongDetailsDialog::reject() { closeDialog(); }

void SongDetailsDialog::showRecord(int32_t record) {
  if (state_ == DetailsState::kClosed) return;
  db_idx_->setText(QString::number(static_cast<int64_t>(record) + 1));
  request(DetailsState::kLoad);
  raise();
  activateWindow();
}

// ---- Buttons that ask first ----

void SongDetailsDialog::find() {
  MessageRequest question;
  question.kind = MessageKind::kInput;
  question.message = maintenance::kSearchPrompt;
  question.first_button = kFindButton;
  question.second_button = kCancelButton;
  question.text = last_search_text_;
  QPointer<SongDetailsDialog> self(this);
  const MessageResult answer = parts_.dialog.show(question);
  if (!self || answer.button != kFirstButton || state_ == DetailsState::kClosed) return;
  last_search_text_ = answer.text;
  request(DetailsState::kFind);
}

void SongDetailsDialog::gotoEntry() {
  MessageRequest question;
  question.kind = MessageKind::kInput;
  question.message = maintenance::kGotoPrompt;
  question.first_button = kGotoButton;
  question.second_button = kCancelButton;
  QPointer<SongDetailsDialog> self(this);
  const MessageResult answer = parts_.dialog.show(question);
  if (!self || answer.button != kFirstButton || state_ == DetailsState::kClosed) return;
  const std::optional<int32_t> idx = maintenance::gotoIndex(answer.text, live_count_);
  if (!idx) return;
  db_idx_->setText(QString::number(*idx));
  request(DetailsState::kLoad);
}

void SongDetailsDialog::deleteSong() {
  // An installation pinned to one user does not edit the library.
  if (parts_.context.fixed_user != kNoFixedUser) return;
  QPointer<SongDetailsDialog> self(this);
  if (ask(parts_.dialog, maintenance::kDeleteQuestion, maintenance::kDeleteYes,
          maintenance::kDeleteNo) != kFirstButton ||
      !self || state_ == DetailsState::kClosed) {
    return;
  }
  delete_pending_ = true;
  request(DetailsState::kLoad);
}

void SongDetailsDialog::putAtTop(bool play) {
  if (top_busy_) return;
  engine::SharedWords& words = parts_.lock.words();
  // "Next" only while the lock is free and the executor idle.
  if (!play && (words.request.load() != 0 || words.executor_busy.load() != 0)) return;
  const std::string path = toBytes(file_name_->text());
  if (path.empty()) return;
  PlayListTopParts top{parts_.lock,      parts_.library, parts_.settings,
                       parts_.play_list, parts_.status,  parts_.player};
  top_busy_ = true;
  engine::WindowChannel& channel = parts_.channel;
  const bool started = parts_.threads.start([shared = shared_, top, path, play, &channel] {
    if (putSongAtTop(top, path) && play) {
      shared->postCommand(channel, playAtOnceCommand(top.lock.words()));
    }
    shared->post([](SongDetailsDialog* dialog) { dialog->top_busy_ = false; });
  });
  if (!started) top_busy_ = false;
}

}  // namespace tunora::ui::qt
