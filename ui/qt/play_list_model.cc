// The play list's table model.
#include "ui/qt/play_list_model.h"

#include "ui/qt/text.h"

namespace tunora::ui::qt {

using Kind = engine::PlayListChange::Kind;

PlayListModel::PlayListModel(engine::PlayList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
  list_.setObserver(this);
  rows_ = list_.rows();
}

PlayListModel::~PlayListModel() { list_.setObserver(nullptr); }

int PlayListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PlayListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : engine::kPlayListColumns;
}

QVariant PlayListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  const std::string& text = rows_[index.row()][index.column()];
  return index.column() == engine::kFileNameColumn ? fromPath(text) : fromBytes(text);
}

QVariant PlayListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= engine::kPlayListColumns) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return QString(engine::kPlayListColumnNames[section]);
}

void PlayListModel::onPlayListChanged(const engine::PlayListChange& change) {
  Queued queued{change, {}};
  if (change.kind == Kind::kAppended || change.kind == Kind::kInsertedAtTop) {
    // The observer runs right after the change, before the next one: the row is the new one.
    if (auto row = list_.row(change.row)) queued.texts = std::move(*row);
  }
  QMetaObject::invokeMethod(this, [this, queued] { apply(queued); }, Qt::QueuedConnection);
}

void PlayListModel::apply(const Queued& queued) {
  const int size = static_cast<int>(rows_.size());
  const engine::PlayListChange& c = queued.change;
  switch (c.kind) {
    case Kind::kAppended:
      if (c.row != size) break;
      beginInsertRows({}, size, size);
      rows_.push_back(queued.texts);
      endInsertRows();
      return;
    case Kind::kInsertedAtTop:
      beginInsertRows({}, 0, 0);
      rows_.insert(rows_.begin(), queued.texts);
      endInsertRows();
      return;
    case Kind::kRemovedRow:
      if (c.row < 0 || c.row >= size) break;
      beginRemoveRows({}, c.row, c.row);
      rows_.erase(rows_.begin() + c.row);
      endRemoveRows();
      return;
    case Kind::kRemovedFirst:
      if (c.count <= 0) return;
      if (c.count > size) break;
      beginRemoveRows({}, 0, c.count - 1);
      rows_.erase(rows_.begin(), rows_.begin() + c.count);
      endRemoveRows();
      return;
  }
  reload();
}

void PlayListModel::reload() {
  beginResetModel();
  rows_ = list_.rows();
  endResetModel();
}

}  // namespace tunora::ui::qt
