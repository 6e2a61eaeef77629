// A desktop notification (org.freedesktop.Notifications) when the song changes: the title, the
// artist and album, the cover picture (as a file:// URL in the "image-path" hint); each one
// replaces the previous. When the picture is found after the song started, the song's
// notification is sent again with it (replacing the first). Off when the file
// "Notify.txt" in the data directory starts with "0" (the settings record is left untouched).
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <string>

#include "platform/media_player_control.h"

namespace tunora::ui::qt {

inline constexpr char kNotifySettingFileName[] = "Notify.txt";

// Whether notifications are on for the data directory `data_dir` (ending in "/"): true unless
// "Notify.txt" there starts with "0".
bool notificationsWanted(const std::string& data_dir);

class SongNotifier : public QObject {
 public:
  explicit SongNotifier(QDBusConnection bus = QDBusConnection::sessionBus());
  // Call with the player's track whenever it may have changed; a new track id sends one
  // notification (none for "no song"), replacing the last one sent; so does a new picture for
  // the same track.
  void update(const TrackInfo& track);
  // The service's id of the last notification shown, 0 before its answer.
  uint32_t lastId() const { return last_id_; }

 private:
  QDBusConnection bus_;
  int64_t shown_track_ = 0;
  std::string shown_art_;
  uint32_t last_id_ = 0;  // the service's id of the last notification, 0 = none
};

}  // namespace tunora::ui::qt
