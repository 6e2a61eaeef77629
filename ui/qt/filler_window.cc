// The media filler window.
#include "ui/qt/filler_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/lock_codes.h"
#include "filler/empty_dir.h"
#include "filler/fill_plan.h"
#include "filler/protected_library.h"
#include "settings/filler_layout.h"
#include "settings/filler_settings_file.h"
#include "settings/settings_defaults.h"
#include "settings/settings_file.h"
#include "settings/settings_upgrade.h"
#include "ui/qt/post_to_widget.h"
#include "ui/qt/text.h"
#include "ui/qt/window_look.h"

namespace tunora::ui::qt {

// A running fill: its engine and what carries its reports to the window. Shared by the window
// and the fill thread; the window forgets it when the fill ends or the window goes.
struct FillerWindow::Job {
  // Posts calls to the window while it exists.
  class Relay final : public filler::FillReport {
   public:
    // Made on the GUI thread.
    explicit Relay(FillerWindow* window) : window_(window) {}
    void post(std::function<void(FillerWindow&)> call) { postToWidget(window_, std::move(call)); }
    void setTitle(const std::string& title) override {
      post([title](FillerWindow& w) { w.setWindowTitle(fromBytes(title)); });
    }

   private:
    const QPointer<FillerWindow> window_;
  };

  Job(FillerWindow* window, const FillerWindowParts& p)
      : relay(window), engine(p.lock, p.builder, p.library, p.settings, p.files, relay, p.env) {}

  Relay relay;
  filler::FillEngine engine;
};

namespace {

QComboBox* comboOf(QWidget* parent, const QStringList& items, const char* tooltip) {
  auto* combo = new QComboBox(parent);
  combo->addItems(items);
  combo->setToolTip(tooltip);
  return combo;
}

QStringList namesOf(const Settings& s, settings::TextArrayField field) {
  QStringList names;
  for (uint32_t i = 0; i < 10; ++i) names << fromBytes(s.text(field, i));
  return names;
}

QPushButton* buttonOf(QWidget* parent, const char* text, const char* tooltip) {
  auto* button = new QPushButton(text, parent);
  if (tooltip != nullptr) button->setToolTip(tooltip);
  button->setAutoDefault(false);
  return button;
}

// The folders "Empty Dir" never empties: home, data and program directories, the library and
// every song's folder with the folders above them. Read on the fill thread under the grant.
std::string emptyRefusal(const FillerWindowParts& p, const std::string& folder) {
  filler::ProtectedPlaces places;
  if (!p.home_directory.empty()) places.setHome(p.home_directory);
  places.setDataDirectory(p.data_directory);
  places.setProgramDirectory(p.program_directory);
  const std::string library = p.settings.text(settings::kDatabasePath);
  marlbase::TableHandle table;
  table.setPath(library);
  {
    engine::Grant grant = p.lock.takeGrantDirectly(engine::kCodeListBuilder);
    if (table.open().ok()) {
      filler::protectLibrary(places, library, table);
      table.close();
    } else {
      places.protectFileAndParents(library);
    }
  }
  return places.refusal(folder);
}

}  // namespace

FillerWindow::FillerWindow(FillerWindowParts parts, QWidget* parent)
    : QWidget(parent, Qt::Window), p_(std::move(parts)) {
  setWindowTitle(filler::kFillerTitle);
  setAcceptDrops(true);
  build();
  showSettings();
}

FillerWindow::~FillerWindow() {
  if (job_) {
    job_->engine.requestStop();
  }
}

void FillerWindow::build() {
  auto* layout = new QVBoxLayout(this);

  // The output folder.
  auto* output_box = new QGroupBox("Output", this);
  auto* output_rows = new QVBoxLayout(output_box);
  auto* output_row = new QHBoxLayout;
  output_rows->addLayout(output_row);
  output_ = new QLineEdit(output_box);
  output_->setToolTip(filler::kOutputTooltip);
  output_->setObjectName("output");
  output_->setMinimumWidth(320);
  output_->setAcceptDrops(false);  // the window takes the drop
  change_ = buttonOf(output_box, "Change", filler::kChangeTooltip);
  open_output_ = buttonOf(output_box, "Open Output Dir", filler::kOpenOutputTooltip);
  output_row->addWidget(output_, 1);
  output_row->addWidget(change_);
  output_row->addWidget(open_output_);
  // What happens in the folder.
  auto* options = new QHBoxLayout;
  empty_dir_ = new QCheckBox("Empty Dir", output_box);
  empty_dir_->setToolTip(filler::kEmptyDirTooltip);
  add_number_ = new QCheckBox("Add Number", output_box);
  add_number_->setToolTip(filler::kAddNumberTooltip);
  options->addWidget(empty_dir_);
  options->addWidget(add_number_);
  options->addStretch(1);
  output_rows->addLayout(options);
  layout->addWidget(output_box);

  // What to fill.
  auto* choices = new QGroupBox("Songs", this);
  auto* grid = new QGridLayout(choices);
  grid->addWidget(new QLabel("Fill Size", choices), 0, 0);
  QStringList sizes;
  for (const char* name : filler::kFillSizeNames) sizes << name;
  size_ = comboOf(choices, sizes, filler::kFillSizeTooltip);
  size_->setObjectName("fillSize");
  grid->addWidget(size_, 0, 1);
  grid->addWidget(new QLabel("Play up to", choices), 1, 0);
  QStringList naughty;
  for (const char* name : filler::kNaughtyNames) naughty << name;
  naughty_ = comboOf(choices, naughty, filler::kNaughtyTooltip);
  naughty_->setObjectName("naughtyLimit");
  grid->addWidget(naughty_, 1, 1);
  grid->addWidget(new QLabel("songs.", choices), 1, 2);
  grid->addWidget(new QLabel("Minimum play rating is ", choices), 2, 0);
  QStringList ratings;
  for (int32_t r = 0; r <= filler::kHighestMinRating; ++r) ratings << QString::number(r);
  min_rating_ = comboOf(choices, ratings, filler::kMinRatingTooltip);
  min_rating_->setObjectName("minRating");
  grid->addWidget(min_rating_, 2, 1);
  grid->addWidget(new QLabel("User", choices), 3, 0);
  user_ = comboOf(choices, namesOf(p_.settings, settings::kUserName), filler::kUserTooltip);
  user_->setObjectName("user");
  grid->addWidget(user_, 3, 1);
  grid->addWidget(new QLabel("User Mode", choices), 4, 0);
  user_mode_ = comboOf(choices, namesOf(p_.settings, settings::kAltName), filler::kUserModeTooltip);
  user_mode_->setObjectName("userMode");
  grid->addWidget(user_mode_, 4, 1);
  grid->setColumnStretch(3, 1);
  layout->addWidget(choices);

  // The file types.
  auto* types = new QGroupBox("File types", this);
  auto* type_grid = new QGridLayout(types);
  all_ = new QCheckBox("All", types);
  all_->setToolTip(filler::kAllTooltip);
  type_grid->addWidget(all_, 0, 0);
  for (int i = 0; i < filler::kTypeBoxes; ++i) {
    types_[i] = new QCheckBox(filler::kTypeBoxCaptions[i], types);
    types_[i]->setToolTip(filler::kTypeBoxTooltips[i]);
    type_grid->addWidget(types_[i], (i + 1) / 5, (i + 1) % 5);
  }
  layout->addWidget(types);

  // The buttons.
  auto* buttons = new QHBoxLayout;
  fill_ = buttonOf(this, "Fill", filler::kFillTooltip);
  stop_ = buttonOf(this, "Stop", filler::kStopTooltip);
  stop_->setEnabled(false);
  close_ = buttonOf(this, "Close", filler::kCloseTooltip);
  reset_ = buttonOf(this, "Reset", filler::kResetTooltip);
  help_ = buttonOf(this, "Help", nullptr);
  buttons->addWidget(fill_);
  buttons->addWidget(stop_);
  buttons->addStretch(1);
  for (QPushButton* b : {reset_, help_, close_}) buttons->addWidget(b);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(all_, &QCheckBox::toggled, this, [this] { applyEnabling(); });
  connect(user_mode_, &QComboBox::currentIndexChanged, this, [this] { applyEnabling(); });
  connect(fill_, &QPushButton::clicked, this, [this] { startFill(); });
  connect(stop_, &QPushButton::clicked, this, [this] { stopFill(); });
  connect(close_, &QPushButton::clicked, this, [this] { closeAndSave(); });
  connect(reset_, &QPushButton::clicked, this, [this] { reset(); });
  connect(help_, &QPushButton::clicked, this, [this] { p_.dialog.openReadMe(); });
  connect(change_, &QPushButton::clicked, this, [this] { changeFolder(); });
  connect(open_output_, &QPushButton::clicked, this, [this] { openOutputFolder(); });
}

void FillerWindow::showSettings() {
  const filler::FillerForm f = filler::fillerFormOf(p_.settings);
  size_->setCurrentIndex(f.size_index);
  for (int i = 0; i < filler::kTypeBoxes; ++i) types_[i]->setChecked(f.types[i]);
  all_->setChecked(f.all);
  naughty_->setCurrentIndex(f.naughty_limit);
  min_rating_->setCurrentIndex(f.min_rating);
  user_->setCurrentIndex(f.user);
  user_mode_->setCurrentIndex(f.alt_mode);
  empty_dir_->setChecked(f.empty_dir);
  add_number_->setChecked(f.add_number);
  output_->setText(fromPath(f.output_dir));
  applyEnabling();
}

filler::FillerForm FillerWindow::form() const {
  filler::FillerForm f;
  f.size_index = size_->currentIndex();
  for (int i = 0; i < filler::kTypeBoxes; ++i) f.types[i] = types_[i]->isChecked();
  f.all = all_->isChecked();
  f.naughty_limit = naughty_->currentIndex();
  f.min_rating = min_rating_->currentIndex();
  f.user = user_->currentIndex();
  f.alt_mode = user_mode_->currentIndex();
  f.empty_dir = empty_dir_->isChecked();
  f.add_number = add_number_->isChecked();
  f.output_dir = output_->text().toLocal8Bit().toStdString();
  return f;
}

void FillerWindow::readControls() { filler::storeFillerForm(form(), p_.settings); }

void FillerWindow::applyEnabling() {
  const bool types = filler::typeBoxesEnabled(all_->isChecked());
  for (QCheckBox* box : types_) box->setEnabled(types);
  user_->setEnabled(filler::userComboEnabled(user_mode_->currentIndex()));
}

void FillerWindow::startFill() {
  if (job_) return;
  readControls();
  if (const auto refusal =
          filler::outputFolderRefusal(p_.settings.text(settings::kFillOutputDir))) {
    tell(p_.dialog, *refusal);
    return;
  }
  engine::SharedWords& words = p_.lock.words();
  words.abort.store(0);
  const bool empty_first = empty_dir_->isChecked();
  if (empty_first && ask(p_.dialog, filler::kEmptyQuestion, "Yes", "No") != kFirstButton) {
    words.abort.store(1);
    return;
  }
  auto job = std::make_shared<Job>(this, p_);
  if (p_.network != nullptr && p_.settings.get(settings::kNetwork) != 0) {
    job->engine.setNetworkContext(p_.network, p_.data_directory);
  }
  const std::string folder = p_.settings.text(settings::kFillOutputDir);
  FillerWindowParts parts = p_;
  job_ = job;
  fill_->setEnabled(false);
  stop_->setEnabled(true);
  const bool started = p_.threads.start([job, parts, folder, empty_first] {
    if (empty_first) {
      const std::string refusal = emptyRefusal(parts, folder);
      if (!refusal.empty()) {
        tell(parts.dialog, refusal);
        filler::FillResult result;
        result.end = filler::FillEnd::kStopped;
        result.message = refusal;
        job->relay.post([result](FillerWindow& w) { w.fillEnded(result); });
        return;
      }
      (void)filler::emptyFolder(folder);
    }
    const filler::FillResult result = job->engine.run();
    job->relay.post([result](FillerWindow& w) { w.fillEnded(result); });
  });
  if (!started) {
    job_.reset();
    fill_->setEnabled(true);
    stop_->setEnabled(false);
  }
}

void FillerWindow::stopFill() {
  if (job_) job_->engine.requestStop();
}

void FillerWindow::fillEnded(const filler::FillResult& /*result*/) {
  job_.reset();
  fill_->setEnabled(true);
  stop_->setEnabled(false);
}

void FillerWindow::closeAndSave() {
  readControls();
  const Status saved = saveFillerSettings(p_.settings, p_.data_directory);
  if (!saved.ok()) tell(p_.dialog, "The filler settings were not saved: " + saved.message());
  close();
}

void FillerWindow::closeEvent(QCloseEvent* event) {
  stopFill();
  event->accept();
  if (on_closed_) on_closed_();
}

void FillerWindow::reset() {
  if (ask(p_.dialog, filler::kResetQuestion, filler::kResetYes, filler::kResetNo) != kFirstButton) {
    return;
  }
  // The defaults follow the main settings as saved (a fill puts its choices into the running
  // ones); without a readable file, the running settings.
  Settings main = p_.settings;
  Settings loaded = p_.settings;
  const SettingsLoadResult read = loadSettings(p_.data_directory, p_.program_directory, loaded);
  if (read.found && read.version == kVersionCurrent) main = loaded;
  applyFillerDefaults(main);
  filler::FillerForm f = filler::fillerFormOf(main);
  f.output_dir = output_->text().toLocal8Bit().toStdString();  // kept
  filler::storeFillerForm(f, p_.settings);
  showSettings();
}

void FillerWindow::changeFolder() {
  const QString chosen =
      QFileDialog::getExistingDirectory(this, filler::kChooseFolderTitle, output_->text());
  if (!chosen.isEmpty()) output_->setText(chosen);
}

void FillerWindow::openOutputFolder() {
  const QString text = output_->text();
  if (!filler::outputDirOpenable(text.toLocal8Bit().toStdString())) return;
  QDesktopServices::openUrl(QUrl::fromLocalFile(text));
}

void FillerWindow::applyOnTop() { applyStaysOnTop(*this, p_.settings.get(settings::kOnTop) != 0); }

void FillerWindow::toggleOnTop() {
  p_.settings.update(settings::kOnTop, [](int32_t v) { return v != 0 ? 0 : 1; });
  applyOnTop();
}

QMenu* FillerWindow::buildPopupMenu() {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addSeparator();
  QAction* on_top = menu->addAction("On Top Toggle");
  on_top->setCheckable(true);
  on_top->setChecked(p_.settings.get(settings::kOnTop) != 0);
  connect(on_top, &QAction::triggered, this, [this] { toggleOnTop(); });
  return menu;
}

void FillerWindow::contextMenuEvent(QContextMenuEvent* event) {
  buildPopupMenu()->popup(event->globalPos());
}

void FillerWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FillerWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  const QString path = urls.front().toLocalFile();
  const auto folder =
      filler::droppedOutputFolder(path.toLocal8Bit().toStdString(), QFileInfo(path).isDir());
  if (!folder) return;
  output_->setText(fromPath(*folder));
  event->acceptProposedAction();
}

}  // namespace tunora::ui::qt
