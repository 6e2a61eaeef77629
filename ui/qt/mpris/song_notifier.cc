// SongNotifier: Notify is called without waiting; the reply's id is kept for the next replace.
#include "ui/qt/mpris/song_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

namespace tunora::ui::qt {

bool notificationsWanted(const std::string& data_dir) {
  QFile file(QString::fromStdString(data_dir + kNotifySettingFileName));
  if (!file.open(QIODevice::ReadOnly)) return true;
  return !file.read(1).startsWith('0');
}

SongNotifier::SongNotifier(QDBusConnection bus) : bus_(std::move(bus)) {}

void SongNotifier::update(const TrackInfo& track) {
  const bool same_song = track.id == shown_track_;
  if (same_song && (track.id == 0 || track.art_path == shown_art_)) return;
  shown_track_ = track.id;
  shown_art_ = track.art_path;
  if (track.id == 0 || !bus_.isConnected()) return;
  // The picture comes a moment after the song: the song's notification is shown again with it.
  // A picture that goes while the song plays leaves the notification as it is.
  if (same_song && track.art_path.empty()) return;
  QString body = QString::fromStdString(track.artist);
  if (!track.album.empty()) {
    body +=
        (body.isEmpty() ? QString() : QStringLiteral(" — ")) + QString::fromStdString(track.album);
  }
  QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.pellan.Tunora")}};
  if (!track.art_path.empty()) {
    hints.insert(
        QStringLiteral("image-path"),
        QUrl::fromLocalFile(QString::fromLocal8Bit(track.art_path)).toString(QUrl::FullyEncoded));
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
