// The Database dialog.
#include "ui/qt/database_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <atomic>
#include <mutex>
#include <utility>

#include "engine/lock_codes.h"
#include "import/import.h"
#include "ui/qt/post_to_widget.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {

using maintenance::DbFunction;
using maintenance::DbInputKind;
using maintenance::DbInputs;

namespace {

std::string toPath(const QString& path) { return path.toLocal8Bit().toStdString(); }

constexpr const char* kFileFilters[] = {"Tunora Files (*.m3u *.txt *.mbf)",
                                        "Playlists (*.m3u *.txt)", "MarlBase (*.mbf)",
                                        "All Files (*)"};

}  // namespace

DatabaseChoosers qtDatabaseChoosers() {
  DatabaseChoosers choosers;
  choosers.choose_folder = [](QWidget* parent,
                              const std::string& start) -> std::optional<std::string> {
    const QString folder = QFileDialog::getExistingDirectory(parent, "Tunora", fromPath(start));
    if (folder.isEmpty()) return std::nullopt;
    return toPath(folder);
  };
  choosers.choose_file = [](QWidget* parent, const std::string& proposed, int32_t filter,
                            bool save) -> std::optional<std::string> {
    const QString filters =
        QString("%1;;%2;;%3;;%4")
            .arg(kFileFilters[0], kFileFilters[1], kFileFilters[2], kFileFilters[3]);
    QString selected = kFileFilters[(filter >= 1 && filter <= 4) ? filter - 1 : 3];
    const QString path = save ? QFileDialog::getSaveFileName(parent, "Tunora", fromPath(proposed),
                                                             filters, &selected)
                              : QFileDialog::getOpenFileName(parent, "Tunora", fromPath(proposed),
                                                             filters, &selected);
    if (path.isEmpty()) return std::nullopt;
    return toPath(path);
  };
  return choosers;
}

// ---- What the dialog's threads share with it ----

struct DatabaseDialog::Shared {
  QPointer<DatabaseDialog> dialog;  // set by the dialog before any thread starts
  std::mutex mu;
  std::optional<std::string> line1;  // texts not shown yet, guarded by mu
  std::optional<std::string> line2;
  bool lines_posted = false;  // guarded by mu
  // Set when the dialog closes: the running function stops at its next record.
  std::atomic<bool> abort{false};
  std::atomic<bool> closed{false};

  // Queues `work` to the dialog's thread; dropped when the dialog is gone by then.
  void post(std::function<void(DatabaseDialog&)> work) { postToWidget(dialog, std::move(work)); }

  // A status line from a thread. Lines coming faster than the window shows them are shown as
  // the latest text, so a long walk queues no more than one update at a time.
  void setLine(int which, const std::string& text) {
    {
      std::lock_guard lock(mu);
      (which == 1 ? line1 : line2) = text;
      if (lines_posted) return;
      lines_posted = true;
    }
    // The dialog owns this object, so it lives as long as a call that runs.
    post([this](DatabaseDialog& d) { showLines(d); });
  }

  void showLines(DatabaseDialog& d) {
    std::optional<std::string> first;
    std::optional<std::string> second;
    {
      std::lock_guard lock(mu);
      first.swap(line1);
      second.swap(line2);
      lines_posted = false;
    }
    if (first) d.setLine(d.line1_, *first);
    if (second) d.setLine(d.line2_, *second);
  }

  // The main window repaints and refreshes its status text.
  void repaintWindow() {
    post([](DatabaseDialog& d) { d.actions_.repaintAll(); });
  }

  // A thread's work ended.
  void ended(bool import, bool repaint) {
    post([import, repaint](DatabaseDialog& d) {
      d.workEnded(import);
      if (repaint) d.actions_.repaintAll();
    });
  }
};

namespace {

// The status lines as a function and an import write them, on their thread.
class WorkerLines final : public maintenance::DbProgress, public media::ImportStatus {
 public:
  // `import_words`: the words whose abort flag an import polls (null for a function).
  WorkerLines(std::shared_ptr<DatabaseDialog::Shared> shared, engine::SharedWords* import_words)
      : shared_(std::move(shared)), import_words_(import_words) {}

  void setLine1(const std::string& text) override {
    stopImportWhenClosed();
    last_line1_ = text;
    shared_->setLine(1, text);
  }
  void setLine2(const std::string& text) override {
    stopImportWhenClosed();
    shared_->setLine(2, text);
  }
  void refreshWindow() override {
    stopImportWhenClosed();
    shared_->repaintWindow();
  }
  const std::string& lastLine1() const { return last_line1_; }

 private:
  // The import clears the abort flag when it starts; a dialog closed before that still stops it.
  void stopImportWhenClosed() {
    if (import_words_ != nullptr && shared_->closed.load() &&
        import_words_->grant.load() == engine::kCodeImport) {
      import_words_->abort.store(1);
    }
  }

  std::shared_ptr<DatabaseDialog::Shared> shared_;
  engine::SharedWords* import_words_;
  std::string last_line1_;
};

QPushButton* button(const char* text, const char* tooltip, const char* name, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setToolTip(tooltip);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QLabel* statusLine(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setTextFormat(Qt::PlainText);
  // Long paths do not widen the dialog; the tooltip shows the whole line.
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label->setMargin(2);
  return label;
}

}  // namespace

// ---- The dialog ----

DatabaseDialog::DatabaseDialog(const DialogParts& parts, WindowActions& actions,
                               DatabaseDialogHooks hooks, QWidget* parent)
    : QDialog(parent),
      parts_(parts),
      actions_(actions),
      hooks_(std::move(hooks)),
      shared_(std::make_shared<Shared>()) {
  shared_->dialog = this;
  setWindowTitle("Database");
  setObjectName("databaseDialog");
  build();
  source_->setText(fromPath(parts_.settings.text(settings::kImportSource)));
  const int32_t function = parts_.settings.get(settings::kDbFunction);
  functions_->setCurrentIndex((function >= 0 && function < maintenance::kDbFunctionCount) ? function
                                                                                          : 0);
  setLine(line1_, maintenance::kIdleText);
  setLine(line2_, parts_.settings.text(settings::kDatabasePath));
}

DatabaseDialog::~DatabaseDialog() { abortWork(); }

void DatabaseDialog::build() {
  auto* layout = new QVBoxLayout(this);

  // The import box.
  auto* import_box = new QGroupBox("Import", this);
  auto* import_layout = new QVBoxLayout(import_box);
  auto* kinds = new QHBoxLayout;
  folder_ = new QRadioButton("Folder", import_box);
  folder_->setToolTip("Import from a folder");
  folder_->setObjectName("folderRadio");
  folder_->setChecked(true);
  playlist_ = new QRadioButton("Playlist", import_box);
  playlist_->setToolTip("Import from a playlist");
  playlist_->setObjectName("playlistRadio");
  kinds->addWidget(folder_);
  kinds->addWidget(playlist_);
  kinds->addStretch();
  import_layout->addLayout(kinds);
  auto* source_row = new QHBoxLayout;
  source_ = new QLineEdit(import_box);
  source_->setToolTip("Import source");
  source_->setObjectName("importSource");
  source_->setMaxLength(static_cast<int>(maintenance::kImportSourceLimit));
  source_->setMinimumWidth(300);
  select_ = button("Select", "Select import source", "selectButton", import_box);
  import_ = button("Import", "Start Import", "importButton", import_box);
  source_row->addWidget(source_, 1);
  source_row->addWidget(select_);
  source_row->addWidget(import_);
  import_layout->addLayout(source_row);
  layout->addWidget(import_box);

  // The maintenance functions.
  auto* function_box = new QGroupBox("Maintenance", this);
  auto* function_row = new QHBoxLayout(function_box);
  functions_ = new QComboBox(function_box);
  functions_->setToolTip("Database function select");
  functions_->setObjectName("functionList");
  for (int32_t n = 0; n < maintenance::kDbFunctionCount; ++n) {
    functions_->addItem(
        QString::fromUtf8(maintenance::dbFunctionName(static_cast<DbFunction>(n)).data()));
  }
  go_ = button("Go!", "Execute selected function", "goButton", function_box);
  function_row->addWidget(functions_, 1);
  function_row->addWidget(go_);
  layout->addWidget(function_box);

  // The library.
  auto* library_box = new QGroupBox("Library", this);
  auto* library_row = new QHBoxLayout(library_box);
  change_db_ = button("ChangeDB", "Select another DataBase", "changeDbButton", library_box);
  new_db_ = button("NewDB", "Create new empty DataBase", "newDbButton", library_box);
  QPushButton* advanced = button("Advanced", "Edit database defaults (Caution is recomended!)",
                                 "advancedButton", library_box);
  library_row->addWidget(change_db_);
  library_row->addWidget(new_db_);
  library_row->addWidget(advanced);
  library_row->addStretch();
  layout->addWidget(library_box);

  // The two status lines.
  line1_ = statusLine("statusLine1", this);
  line2_ = statusLine("statusLine2", this);
  layout->addWidget(line1_);
  layout->addWidget(line2_);

  auto* bottom = new QHBoxLayout;
  QPushButton* help = button("Help", "Quick Help file access", "helpButton", this);
  QPushButton* ok = button("OK", "Close and save", "okButton", this);
  QPushButton* cancel = button("Cancel", "Close without saving", "cancelButton", this);
  bottom->addWidget(help);
  bottom->addStretch();
  bottom->addWidget(ok);
  bottom->addWidget(cancel);
  layout->addLayout(bottom);

  connect(select_, &QPushButton::clicked, this, [this] { select(); });
  connect(import_, &QPushButton::clicked, this, [this] { startImport(); });
  connect(go_, &QPushButton::clicked, this, [this] { go(); });
  connect(change_db_, &QPushButton::clicked, this,
          [this] { changeLibrary(maintenance::DbChangeKind::kChange); });
  connect(new_db_, &QPushButton::clicked, this,
          [this] { changeLibrary(maintenance::DbChangeKind::kNew); });
  connect(advanced, &QPushButton::clicked, this, [this] {
    if (hooks_.open_advanced) hooks_.open_advanced(this);
  });
  connect(help, &QPushButton::clicked, this, [this] { parts_.dialog.openReadMe(); });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString DatabaseDialog::line1() const { return line1_->text(); }
QString DatabaseDialog::line2() const { return line2_->text(); }

void DatabaseDialog::setLine(QLabel* line, const std::string& text) {
  const QString shown = fromBytes(text);
  line->setText(shown);
  line->setToolTip(shown);
}

void DatabaseDialog::done(int result) {
  abortWork();
  QDialog::done(result);
}

void DatabaseDialog::abortWork() {
  shared_->closed.store(true);
  shared_->abort.store(true);
  engine::SharedWords& words = parts_.lock.words();
  if (import_running_ && words.grant.load() == engine::kCodeImport) words.abort.store(1);
}

bool DatabaseDialog::startWork(std::function<void()> body) {
  if (shared_->closed.load()) return false;
  ++running_;
  if (!parts_.threads.start(std::move(body))) {
    --running_;
    return false;
  }
  updateButtons();
  return true;
}

void DatabaseDialog::workEnded(bool import) {
  if (running_ > 0) --running_;
  if (import) import_running_ = false;
  updateButtons();
}

void DatabaseDialog::updateButtons() {
  const bool idle = running_ == 0;
  import_->setEnabled(idle);
  go_->setEnabled(idle);
  change_db_->setEnabled(idle);
  new_db_->setEnabled(idle);
}

// ---- The import box ----

void DatabaseDialog::select() {
  if (folder_->isChecked()) {
    const auto folder = hooks_.choosers.choose_folder(this, toPath(source_->text()));
    if (!folder) return;
    const std::string source = maintenance::folderSource(*folder);
    parts_.settings.setText(settings::kImportSource, source);
    source_->setText(fromPath(source));
  } else {
    const auto file = hooks_.choosers.choose_file(this, toPath(source_->text()), 2, false);
    if (file) source_->setText(fromPath(*file));
  }
}

void DatabaseDialog::startImport() {
  if (running_ > 0) return;
  const std::string source = maintenance::importSourceOf(toPath(source_->text()));
  if (source.empty()) return;
  parts_.settings.setText(settings::kImportSource, source);
  source_->setText(fromPath(source));
  auto lines = std::make_shared<WorkerLines>(shared_, &parts_.lock.words());
  const bool started = startWork([p = parts_, shared = shared_, lines, source] {
    media::Importer importer(p.lock, p.library.table(), p.settings, *lines,
                             p.context.network_refresh_counter);
    importer.runImport(source);
    if (lines->lastLine1() == media::kImportCompleteText) {
      lines->setLine2(media::importCountsLine(importer.counts()));
    } else if (lines->lastLine1() == media::kErrorImportingText) {
      lines->setLine2(importer.errorReason());
    }
    shared->ended(/*import=*/true, /*repaint=*/true);
  });
  if (started) import_running_ = true;
}

// ---- The maintenance functions ----

std::optional<DbInputs> DatabaseDialog::gatherInputs(DbFunction function) {
  DbInputs inputs;
  switch (maintenance::inputKindOf(function)) {
    case DbInputKind::kPlaylistFile: {
      const std::string proposed =
          toPath(QDir::homePath()) + "/" + maintenance::kProposedPlaylistName;
      const auto file = hooks_.choosers.choose_file(this, proposed, 1, true);
      if (!file) return std::nullopt;
      inputs.playlist_path = *file;
      break;
    }
    case DbInputKind::kTwoUsers:
    case DbInputKind::kOneUser:
      inputs.user_a = maintenance::keypadUser(actions_.showRateKeypad());
      if (inputs.user_a == 0) return std::nullopt;
      if (maintenance::inputKindOf(function) == DbInputKind::kTwoUsers) {
        inputs.user_b = maintenance::keypadUser(actions_.showRateKeypad());
        if (inputs.user_b == 0) return std::nullopt;
      }
      break;
    case DbInputKind::kStartFrom: {
      MessageRequest request;
      request.kind = MessageKind::kSmallInput;
      request.message = maintenance::kStartFromPrompt;
      request.first_button = kOkButton;
      request.second_button = kCancelButton;
      request.text.push_back('0');  // (assigning "0" trips a false -Wrestrict of g++ 12 at -O3)
      const MessageResult answer = parts_.dialog.show(request);
      // Cancelled: the walk starts at the first live record (the result line says so).
      if (answer.button == kFirstButton) inputs.start_text = answer.text;
      break;
    }
    case DbInputKind::kNone:
      break;
  }
  if (auto refusal = maintenance::refusalOf(function, inputs)) {
    setLine(line2_, maintenance::refusedLine(function, *refusal));
    return std::nullopt;
  }
  return inputs;
}

void DatabaseDialog::go() {
  if (running_ > 0) return;
  const int index = functions_->currentIndex();
  if (index < 0 || index >= maintenance::kDbFunctionCount) return;
  parts_.settings.set(settings::kDbFunction, index);
  if (maintenance::libraryOffline(parts_.lock.words())) return;
  const auto function = static_cast<DbFunction>(index);
  const std::optional<DbInputs> inputs = gatherInputs(function);
  if (!inputs) return;

  const std::string text = maintenance::confirmationText(function, *inputs);
  tell(parts_.dialog, text);
  if (ask(parts_.dialog, text, maintenance::kRunButton, maintenance::kAbortButton,
          MessageKind::kSmallMessage) != kFirstButton) {
    return;
  }
  const maintenance::DbValues values = maintenance::dbValuesOf(parts_.settings);
  auto lines = std::make_shared<WorkerLines>(shared_, nullptr);
  (void)startWork([p = parts_, shared = shared_, lines, function, inputs = *inputs, values,
                   runner = hooks_.runner] {
    maintenance::FunctionThreadParts parts{p.lock, p.library, p.builder.messageFlag(),
                                           p.context.network_refresh_counter};
    (void)maintenance::runFunctionThread(parts, function, inputs, values, &shared->abort, *lines,
                                         runner);
    shared->ended(/*import=*/false, /*repaint=*/false);
  });
}

// ---- ChangeDB and NewDB ----

void DatabaseDialog::changeLibrary(maintenance::DbChangeKind kind) {
  if (running_ > 0) return;
  const auto chosen =
      hooks_.choosers.choose_file(this, parts_.settings.text(settings::kDatabasePath), 3,
                                  kind == maintenance::DbChangeKind::kNew);
  if (!chosen) return;
  (void)startWork(
      [p = parts_, shared = shared_, kind, path = *chosen, save = hooks_.save_settings] {
        maintenance::DbChangeParts parts{
            p.lock, p.settings, p.context.network_refresh_counter,
            save,   &p.library, [&status = p.status] { status.refresh(); }};
        const maintenance::DbChangeEnd end = maintenance::changeDatabase(parts, kind, path);
        shared->setLine(2, maintenance::changeLine2(end, path));
        shared->ended(/*import=*/false, /*repaint=*/true);
      });
}

}  // namespace tunora::ui::qt
