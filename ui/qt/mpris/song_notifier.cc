// SongNotifier: Notify is called without waiting; the reply's id is kept for the next replace.
#include "ui/qt/mpris/song_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QStringList>
#include <QVariantMap>

namespace tunora::ui::qt {

bool notificationsWanted(const std::string& data_dir) {
  QFile file(QString::fromStdString(data_dir + kNotifySettingFileName));
  if (!file.open(QIODevice::ReadOnly)) return true;
  return !file.read(1).startsWith('0');
}

SongNotifier::SongNotifier(QDBusConnection bus) : bus_(std::move(bus)) {}

void SongNotifier::update(const TrackInfo& track) {
  if (track.id == shown_track_) return;
  shown_track_ = track.id;
  if (track.id == 0 || !bus_.isConnected()) return;
  QString body = QString::fromStdString(track.artist);
  if (!track.album.empty()) {
    body +=
        (body.isEmpty() ? QString() : QStringLiteral(" — ")) + QString::fromStdString(track.album);
  }
  QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.pellan.Tunora")}};
  if (!track.art_path.empty()) {
    hints.insert(QStringLiteral("image-path"), QString::fromStdString(track.art_path));
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  call << QStringLiteral("Tunora") << last_id_ << QStringLiteral("tunora")
       << QString::fromStdString(track.title) << body << QStringList() << hints << -1;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    QDBusPendingReply<uint32_t> reply = *w;
    if (reply.isValid()) last_id_ = reply.value();
    w->deleteLater();
  });
}

}  // namespace tunora::ui::qt
