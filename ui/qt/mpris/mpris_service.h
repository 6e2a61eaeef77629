// The desktop's media-player interface (MPRIS2) on a D-Bus connection, over a
// MediaPlayerControl: org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player at
// /org/mpris/MediaPlayer2 under the name org.mpris.MediaPlayer2.tunora (".instance<pid>" when
// that name is taken). Runs on the thread that owns the connection's event loop.
#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QVariantMap>
#include <memory>
#include <string>

#include "platform/media_player_control.h"

namespace tunora::ui::qt {

class MprisService : public QDBusVirtualObject {
 public:
  // Registers the object and a bus name; nullptr when the bus is not connected or neither name
  // can be had (the program then runs without it).
  static std::unique_ptr<MprisService> start(MediaPlayerControl& control,
                                             QDBusConnection bus = QDBusConnection::sessionBus());
  ~MprisService() override;

  // Compares the player's state with what was last announced and sends PropertiesChanged for
  // what differs. Call it after the player's state may have changed (and on a timer).
  void refresh();
  QString busName() const { return name_; }

  QString introspect(const QString& path) const override;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

 private:
  MprisService(MediaPlayerControl& control, QDBusConnection bus);
  QVariantMap rootProperties() const;
  QVariantMap playerProperties() const;
  QVariantMap metadata(const TrackInfo& track) const;
  bool callMethod(const QString& interface, const QString& member, const QDBusMessage& message);
  void sendSeeked(int64_t position_us);

  MediaPlayerControl& control_;
  QDBusConnection bus_;
  QString name_;
  QVariantMap announced_;  // the player properties last announced
};

}  // namespace tunora::ui::qt
