// The play list as the list view shows it: a table model over the engine's PlayList with the
// five columns "Title", "Artist", "Album", "FileName", "Type". The engine changes the list on its
// own threads; each change reaches the model as a queued call to the GUI thread, in the order the
// changes were made, so the model changes only on the GUI thread. A change that does not fit
// the model (it missed one) makes the model read the whole list again.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "engine/play_list.h"

namespace tunora::ui::qt {

class PlayListModel final : public QAbstractTableModel, public engine::PlayListObserver {
  Q_OBJECT

 public:
  // Subscribes to `list` (which must outlive the model) and reads its rows. GUI thread.
  explicit PlayListModel(engine::PlayList& list, QObject* parent = nullptr);
  ~PlayListModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Any thread.
  void onPlayListChanged(const engine::PlayListChange& change) override;

 private:
  struct Queued {
    engine::PlayListChange change;
    engine::PlayListRow texts;  // the row appended or inserted
  };
  void apply(const Queued& queued);
  void reload();

  engine::PlayList& list_;
  std::vector<engine::PlayListRow> rows_;  // GUI thread only
};

}  // namespace tunora::ui::qt
