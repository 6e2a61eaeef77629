// The search window.
#include "ui/qt/search_window.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QMenu>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

#include "ui/command_numbers.h"
#include "ui/put_at_top.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/post_to_widget.h"
#include "ui/qt/text.h"
#include "ui/qt/window_look.h"
#include "ui/search_session.h"

namespace tunora::ui::qt {

namespace {

constexpr int kLeft = 100;
constexpr int kTop = 100;
constexpr int kWidth = 520;
constexpr int kHeight = 400;

}  // namespace

// The rows as the list view shows them.
class SearchRowModel final : public QAbstractTableModel {
 public:
  explicit SearchRowModel(QObject* parent) : QAbstractTableModel(parent) {}

  void setRows(std::vector<maintenance::SearchRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
  }
  const std::vector<maintenance::SearchRow>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : kSearchColumns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
      const maintenance::SearchRow& row = rows_[static_cast<size_t>(index.row())];
      if (index.column() == kSearchFileNameColumn) return fromPath(row.path);
      return fromBytes(searchRowTexts(row)[static_cast<size_t>(index.column())]);
    }
    if (role == Qt::TextAlignmentRole && index.column() >= kSearchColumns - 2) {
      return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kSearchColumns) {
      return {};
    }
    return QString::fromLatin1(kSearchColumnNames[static_cast<size_t>(section)]);
  }

 private:
  std::vector<maintenance::SearchRow> rows_;
};

namespace {

// The worker's results, carried to the window's thread; a window closed meanwhile is left alone.
class QueuedSink final : public SearchSink {
 public:
  explicit QueuedSink(QPointer<SearchWindow> window) : window_(std::move(window)) {}

  void textConfirmed(const std::string& text) override {
    post([text](SearchWindow& window) { window.rememberSearchText(text); });
  }
  void showRows(std::vector<maintenance::SearchRow> rows) override {
    post([rows = std::move(rows)](SearchWindow& window) mutable {
      window.showRows(std::move(rows));
    });
  }
  void closeWindow() override {
    post([](SearchWindow& window) { window.close(); });
  }

 private:
  // A window that is closed but not yet deleted is left alone too.
  template <typename F>
  void post(F body) {
    postToWidget(window_, [body = std::move(body)](SearchWindow& window) mutable {
      if (window.open()) body(window);
    });
  }

  QPointer<SearchWindow> window_;
};

}  // namespace

SearchWindow::SearchWindow(DialogHost& host, SearchMode mode, const std::string& text)
    : QWidget(nullptr), host_(&host), parts_(host.parts()), mode_(mode) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(kSearchWindowTitle);
  setAccessibleName(kSearchWindowTitle);
  if (QWidget* owner = host.parent()) setWindowIcon(owner->windowIcon());

  model_ = new SearchRowModel(this);
  list_ = new QTableView(this);
  list_->setModel(model_);
  setUpRowList(*list_, "Search results");
  list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int column = 0; column < kSearchColumns; ++column) {
    list_->setColumnWidth(column, kSearchColumnWidths[static_cast<size_t>(column)]);
  }
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QTableView::customContextMenuRequested, this,
          [this](const QPoint& at) { showContextMenu(list_->viewport()->mapToGlobal(at)); });
  connect(list_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& index) { playNow(index.row()); });

  // F1 opens the ReadMe, as "Help" does.
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] { parts_.dialog.openReadMe(); });

  // The list fills the window.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);

  move(kLeft, kTop);
  resize(kWidth, kHeight);
  show();
  raise();
  activateWindow();
  startWorker(text);
}

SearchWindow::~SearchWindow() { work_->abort.store(true); }

void SearchWindow::startWorker(const std::string& text) {
  const SearchParts search{parts_.lock, parts_.library, parts_.settings, parts_.dialog, parts_.env};
  worker_started_ = parts_.threads.start(
      [search, mode = mode_, text, work = work_, window = QPointer<SearchWindow>(this)] {
        QueuedSink sink(window);
        runSearchSession(search, mode, text, work->abort, sink);
      });
}

void SearchWindow::rememberSearchText(const std::string& text) {
  if (host_ != nullptr) host_->lastSearchText() = text;
}

void SearchWindow::detachAndClose() {
  host_ = nullptr;
  close();
}

void SearchWindow::closeEvent(QCloseEvent* event) {
  closed_ = true;
  work_->abort.store(true);
  if (menu_) menu_->close();
  QWidget::closeEvent(event);
}

void SearchWindow::showRows(std::vector<maintenance::SearchRow> rows) {
  model_->setRows(std::move(rows));
}

int32_t SearchWindow::rowCount() const { return static_cast<int32_t>(model_->rows().size()); }

const maintenance::SearchRow* SearchWindow::row(int32_t index) const {
  if (index < 0 || index >= rowCount()) return nullptr;
  return &model_->rows()[static_cast<size_t>(index)];
}

int32_t SearchWindow::focusedRow() const {
  const QModelIndex index = list_->currentIndex();
  return index.isValid() ? index.row() : -1;
}

void SearchWindow::putAtTop(int32_t index, bool play) {
  const maintenance::SearchRow* found = row(index);
  if (found == nullptr) return;
  const PlayListTopParts put{parts_.lock,      parts_.library, parts_.settings,
                             parts_.play_list, parts_.status,  parts_.player};
  engine::WindowChannel& channel = parts_.channel;
  // The action finishes even when the window closes meanwhile.
  (void)parts_.threads.start([put, path = found->path, play, &channel] {
    if (putSongAtTop(put, path) && play) {
      channel.postCommand(playAtOnceCommand(put.lock.words()), 0);
    }
  });
}

void SearchWindow::playNext(int32_t index) { putAtTop(index, /*play=*/false); }

void SearchWindow::playNow(int32_t index) { putAtTop(index, /*play=*/true); }

void SearchWindow::openDetails(int32_t index) {
  const maintenance::SearchRow* found = row(index);
  if (found == nullptr || host_ == nullptr) return;
  const int32_t record = recordOfIndexText(searchRowTexts(*found)[kSearchIndexColumn]);
  if (record < 0 || host_->actions().dialogOpen(WindowDialog::kSongDetails)) return;
  host_->openSongDetails(record, this);  // modal over this window
}

void SearchWindow::showContextMenu(const QPoint& global) {
  if (menu_) menu_->close();
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* details = menu->addAction("Details");
  details->setData(kCmdRowDetails);
  QAction* next = menu->addAction("Play Next");
  next->setData(kCmdPlayNext);
  QAction* help = menu->addAction("Help");
  help->setData(kCmdHelp);
  const int32_t focused = focusedRow();
  connect(details, &QAction::triggered, this, [this, focused] { openDetails(focused); });
  connect(next, &QAction::triggered, this, [this, focused] { playNext(focused); });
  connect(help, &QAction::triggered, this, [this] { parts_.dialog.openReadMe(); });
  menu_ = menu;
  menu->popup(global);
}

}  // namespace tunora::ui::qt
