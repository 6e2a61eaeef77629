// The media-player interface on a private session bus (run under dbus-run-session) with a fake
// player: introspection, PlayPause, Metadata after a skip, Seek, PropertiesChanged on a pause,
// a second copy's instance name. A second connection plays the desktop's part. Every wait is
// bounded; none measures time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDomDocument>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>

#include "tests/support/temp_dir.h"
#include "ui/qt/mpris/mpris_service.h"
#include "ui/qt/mpris/song_notifier.h"

namespace tunora::ui::qt {
namespace {

class FakePlayer : public MediaPlayerControl {
 public:
  void raise() override { ++raised; }
  void quit() override { ++quits; }
  void playPause() override {
    status_ =
        status_ == PlaybackStatus::kPlaying ? PlaybackStatus::kPaused : PlaybackStatus::kPlaying;
  }
  void play() override { status_ = PlaybackStatus::kPlaying; }
  void pause() override {
    if (status_ == PlaybackStatus::kPlaying) status_ = PlaybackStatus::kPaused;
  }
  void stop() override { status_ = PlaybackStatus::kStopped; }
  void next() override {
    ++song_;
    position_ = 0;
  }
  void previous() override { --song_; }
  void seekTo(int64_t position_us) override { position_ = position_us; }
  PlaybackStatus status() const override { return status_; }
  TrackInfo track() const override {
    TrackInfo t;
    t.id = song_;
    t.title = "Song " + std::to_string(song_);
    t.artist = "Artist";
    t.album = "Album";
    t.path = path.empty() ? "/music/Artist/Album/song " + std::to_string(song_) + ".mp3" : path;
    t.art_path = "/music/Artist/Album/Cover.jpg";
    t.length_us = 180'000'000;
    t.rating = 0.8;
    t.track_number = song_ == 1 ? 7 : 0;
    t.genre = song_ == 1 ? "Jazz" : "";
    return t;
  }
  int64_t positionUs() const override { return position_; }
  double volume() const override { return volume_; }
  void setVolume(double level) override { volume_ = level; }

  int raised = 0;
  int quits = 0;
  std::string path;  // the track's file, when set

 private:
  PlaybackStatus status_ = PlaybackStatus::kStopped;
  int64_t song_ = 1;
  int64_t position_ = 0;
  double volume_ = 1.0;
};

// Spins the event loop until done() holds, for at most 10 s.
bool spinUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(10000);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

class SignalLog : public QObject {
  Q_OBJECT
 public slots:
  void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
    if (interface == QLatin1String("org.mpris.MediaPlayer2.Player")) changes.append(changed);
  }
  void seeked(qlonglong position) { seeks.append(position); }

 public:
  QList<QVariantMap> changes;
  QList<qlonglong> seeks;
};

class MprisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    service = MprisService::start(player);
    ASSERT_NE(service, nullptr);
    client = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "desktop"));
    ASSERT_TRUE(client->isConnected());
  }
  void TearDown() override {
    service.reset();
    client.reset();
    QDBusConnection::disconnectFromBus("desktop");
  }

  QDBusMessage call(const QString& interface, const QString& member,
                    const QVariantList& args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service->busName(), "/org/mpris/MediaPlayer2", interface, member);
    message.setArguments(args);
    QDBusPendingCall pending = client->asyncCall(message);
    EXPECT_TRUE(spinUntil([&] { return pending.isFinished(); })) << member.toStdString();
    return pending.reply();
  }
  QVariant property(const QString& name) {
    const QDBusMessage reply =
        call("org.freedesktop.DBus.Properties", "Get", {"org.mpris.MediaPlayer2.Player", name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return qvariant_cast<QDBusVariant>(reply.arguments()[0]).variant();
  }
  QVariantMap metadata() { return qdbus_cast<QVariantMap>(property("Metadata")); }

  FakePlayer player;
  std::unique_ptr<MprisService> service;
  std::unique_ptr<QDBusConnection> client;
};

TEST_F(MprisTest, IntrospectionShowsBothInterfacesAndTheName) {
  EXPECT_EQ(service->busName(), "org.mpris.MediaPlayer2.tunora");
  const QDBusMessage reply = call("org.freedesktop.DBus.Introspectable", "Introspect");
  ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);
  QDomDocument xml;
  ASSERT_TRUE(xml.setContent(reply.arguments().value(0).toString()));
  QStringList interfaces;
  const QDomNodeList nodes = xml.elementsByTagName("interface");
  for (int i = 0; i < nodes.size(); ++i) interfaces << nodes.at(i).toElement().attribute("name");
  EXPECT_TRUE(interfaces.contains("org.mpris.MediaPlayer2"));
  EXPECT_TRUE(interfaces.contains("org.mpris.MediaPlayer2.Player"));

  const QDBusMessage all =
      call("org.freedesktop.DBus.Properties", "GetAll", {"org.mpris.MediaPlayer2"});
  const QVariantMap root = qdbus_cast<QVariantMap>(all.arguments().value(0));
  EXPECT_EQ(root.value("Identity").toString(), "Tunora");
  EXPECT_TRUE(root.value("CanQuit").toBool());

  call("org.mpris.MediaPlayer2", "Raise");
  call("org.mpris.MediaPlayer2", "Quit");
  EXPECT_EQ(player.raised, 1);
  EXPECT_EQ(player.quits, 1);
  EXPECT_EQ(call("org.mpris.MediaPlayer2.Player", "Fly").type(), QDBusMessage::ErrorMessage);
  // Properties of an interface the object does not have are an error, not an empty answer.
  for (const QString& which : {QStringLiteral("org.example.Nothing"), QString()}) {
    const QDBusMessage none = call("org.freedesktop.DBus.Properties", "GetAll", {which});
    EXPECT_EQ(none.type(), QDBusMessage::ErrorMessage) << which.toStdString();
    EXPECT_EQ(none.errorName(), "org.freedesktop.DBus.Error.UnknownInterface");
  }
}

TEST_F(MprisTest, SecondCopyTakesAnInstanceName) {
  FakePlayer other;
  auto second = MprisService::start(other, *client);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->busName().startsWith("org.mpris.MediaPlayer2.tunora.instance"));
}

TEST_F(MprisTest, PlayPauseStartsThePlayerAndMetadataFollowsASkip) {
  EXPECT_EQ(property("PlaybackStatus").toString(), "Stopped");
  call("org.mpris.MediaPlayer2.Player", "PlayPause");
  EXPECT_EQ(player.status(), PlaybackStatus::kPlaying);
  EXPECT_EQ(property("PlaybackStatus").toString(), "Playing");

  QVariantMap meta = metadata();
  EXPECT_EQ(meta.value("xesam:title").toString(), "Song 1");
  EXPECT_EQ(meta.value("xesam:artist").toStringList(), QStringList{"Artist"});
  EXPECT_EQ(meta.value("xesam:url").toString(), "file:///music/Artist/Album/song%201.mp3");
  EXPECT_EQ(meta.value("mpris:artUrl").toString(), "file:///music/Artist/Album/Cover.jpg");
  EXPECT_EQ(meta.value("mpris:length").toLongLong(), 180'000'000);
  EXPECT_DOUBLE_EQ(meta.value("xesam:userRating").toDouble(), 0.8);
  EXPECT_EQ(meta.value("xesam:trackNumber").toInt(), 7);
  EXPECT_EQ(meta.value("xesam:genre").toStringList(), QStringList{"Jazz"});
  const QString first_id = qvariant_cast<QDBusObjectPath>(meta.value("mpris:trackid")).path();

  call("org.mpris.MediaPlayer2.Player", "Next");
  meta = metadata();
  EXPECT_EQ(meta.value("xesam:title").toString(), "Song 2");
  EXPECT_FALSE(meta.contains("xesam:trackNumber"));  // the tag has none
  EXPECT_FALSE(meta.contains("xesam:genre"));
  EXPECT_NE(qvariant_cast<QDBusObjectPath>(meta.value("mpris:trackid")).path(), first_id);
  call("org.mpris.MediaPlayer2.Player", "Previous");
  EXPECT_EQ(metadata().value("xesam:title").toString(), "Song 1");
}

TEST_F(MprisTest, SeekAndSetPositionMoveThePositionAndAnnounceIt) {
  SignalLog log;
  ASSERT_TRUE(client->connect(service->busName(), "/org/mpris/MediaPlayer2",
                              "org.mpris.MediaPlayer2.Player", "Seeked", &log,
                              SLOT(seeked(qlonglong))));
  call("org.mpris.MediaPlayer2.Player", "Play");
  call("org.mpris.MediaPlayer2.Player", "Seek", {qlonglong(30'000'000)});
  EXPECT_EQ(player.positionUs(), 30'000'000);
  EXPECT_EQ(property("Position").toLongLong(), 30'000'000);
  call("org.mpris.MediaPlayer2.Player", "Seek", {qlonglong(-60'000'000)});
  EXPECT_EQ(player.positionUs(), 0);  // clamped at the start

  const QString id = qvariant_cast<QDBusObjectPath>(metadata().value("mpris:trackid")).path();
  call("org.mpris.MediaPlayer2.Player", "SetPosition",
       {QVariant::fromValue(QDBusObjectPath(id)), qlonglong(90'000'000)});
  EXPECT_EQ(player.positionUs(), 90'000'000);
  // A stale track id or a position past the end is ignored.
  call("org.mpris.MediaPlayer2.Player", "SetPosition",
       {QVariant::fromValue(QDBusObjectPath("/org/pellan/Tunora/track/77")), qlonglong(5)});
  call("org.mpris.MediaPlayer2.Player", "SetPosition",
       {QVariant::fromValue(QDBusObjectPath(id)), qlonglong(999'000'000)});
  EXPECT_EQ(player.positionUs(), 90'000'000);
  ASSERT_TRUE(spinUntil([&] { return log.seeks.size() >= 3; }));
  EXPECT_EQ(log.seeks, (QList<qlonglong>{30'000'000, 0, 90'000'000}));
  // Seeking past the end goes to the next song, also by offsets at the limits of the type.
  call("org.mpris.MediaPlayer2.Player", "Seek", {qlonglong(200'000'000)});
  EXPECT_EQ(metadata().value("xesam:title").toString(), "Song 2");
  call("org.mpris.MediaPlayer2.Player", "Seek", {qlonglong(60'000'000)});
  call("org.mpris.MediaPlayer2.Player", "Seek", {std::numeric_limits<qlonglong>::max()});
  EXPECT_EQ(metadata().value("xesam:title").toString(), "Song 3");
  call("org.mpris.MediaPlayer2.Player", "Seek", {qlonglong(60'000'000)});
  call("org.mpris.MediaPlayer2.Player", "Seek", {std::numeric_limits<qlonglong>::min()});
  EXPECT_EQ(player.positionUs(), 0);
  EXPECT_EQ(metadata().value("xesam:title").toString(), "Song 3");
}

TEST_F(MprisTest, VolumeIsWritableAndTheControlFollows) {
  EXPECT_DOUBLE_EQ(property("Volume").toDouble(), 1.0);
  auto set = [&](const QVariant& value) {
    return call(
        "org.freedesktop.DBus.Properties", "Set",
        {"org.mpris.MediaPlayer2.Player", "Volume", QVariant::fromValue(QDBusVariant(value))});
  };
  EXPECT_EQ(set(0.5).type(), QDBusMessage::ReplyMessage);
  EXPECT_DOUBLE_EQ(player.volume(), 0.5);
  EXPECT_DOUBLE_EQ(property("Volume").toDouble(), 0.5);
  set(-0.25);  // below silence is silence
  EXPECT_DOUBLE_EQ(player.volume(), 0.0);
  set(3.0);
  EXPECT_DOUBLE_EQ(player.volume(), 1.0);
  EXPECT_EQ(set(QStringLiteral("loud")).type(), QDBusMessage::ErrorMessage);
  EXPECT_DOUBLE_EQ(player.volume(), 1.0);
  // Everything else stays read-only.
  EXPECT_EQ(call("org.freedesktop.DBus.Properties", "Set",
                 {"org.mpris.MediaPlayer2.Player", "Rate", QVariant::fromValue(QDBusVariant(2.0))})
                .type(),
            QDBusMessage::ErrorMessage);
}

TEST_F(MprisTest, TheUrlOfANameThatIsNotUtf8NamesTheFilesOwnBytes) {
  player.path = "/music/caf\xE9 \xFF%/a\xC3\xA9.mp3";  // Latin-1 bytes, a bare %, and UTF-8
  EXPECT_EQ(metadata().value("xesam:url").toString(), "file:///music/caf%E9%20%FF%25/a%C3%A9.mp3");
}

TEST_F(MprisTest, PropertiesChangedArrivesOnAPauseAndOnAChangeFromThePlayer) {
  SignalLog log;
  ASSERT_TRUE(client->connect(service->busName(), "/org/mpris/MediaPlayer2",
                              "org.freedesktop.DBus.Properties", "PropertiesChanged", &log,
                              SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
  call("org.mpris.MediaPlayer2.Player", "Play");
  call("org.mpris.MediaPlayer2.Player", "Pause");
  ASSERT_TRUE(spinUntil([&] { return log.changes.size() >= 2; }));
  EXPECT_EQ(log.changes[0].value("PlaybackStatus").toString(), "Playing");
  EXPECT_EQ(log.changes[1].value("PlaybackStatus").toString(), "Paused");
  EXPECT_FALSE(log.changes[1].contains("Metadata"));  // only what changed

  // A song change made by the program itself (not over the bus) is announced by refresh().
  player.next();
  service->refresh();
  service->refresh();  // nothing new: no second signal
  ASSERT_TRUE(spinUntil([&] { return log.changes.size() >= 3; }));
  const QVariantMap meta = qdbus_cast<QVariantMap>(log.changes[2].value("Metadata"));
  EXPECT_EQ(meta.value("xesam:title").toString(), "Song 2");
  call("org.mpris.MediaPlayer2.Player", "Stop");  // a round trip after the refreshes
  ASSERT_TRUE(spinUntil([&] { return log.changes.size() >= 4; }));
  EXPECT_EQ(log.changes[3].value("PlaybackStatus").toString(), "Stopped");
  EXPECT_EQ(log.changes.size(), 4);
}

// The desktop's notification service, mocked: records each Notify and answers with new ids.
class FakeNotifications : public QDBusVirtualObject {
 public:
  struct Shown {
    uint32_t replaces;
    QString summary;
    QString body;
    QVariantMap hints;
  };
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() != QLatin1String("Notify")) return false;
    const QVariantList a = message.arguments();
    QMetaObject::invokeMethod(this, [this, message, connection, a] {
      shown.append({a.value(1).toUInt(), a.value(3).toString(), a.value(4).toString(),
                    qdbus_cast<QVariantMap>(a.value(6))});
      if (log != nullptr) {
        const Shown& last = shown.back();
        std::fprintf(log, "Notify\t%u\t%s\t%s\n", last.replaces, qPrintable(last.summary),
                     qPrintable(last.hints.value("image-path").toString()));
        std::fflush(log);
      }
      QDBusConnection(connection).send(message.createReply(QVariant::fromValue(++next_id)));
    });
    return true;
  }
  QList<Shown> shown;
  uint32_t next_id = 40;
  std::FILE* log = nullptr;  // each Notify as a line, when set
};

TEST(SongNotifierTest, OneNotificationPerSongChangeAndAgainWhenItsPictureComes) {
  QDBusConnection service_bus =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notifications");
  ASSERT_TRUE(service_bus.isConnected()) << "run under dbus-run-session";
  FakeNotifications service;
  ASSERT_TRUE(service_bus.registerVirtualObject("/org/freedesktop/Notifications", &service));
  ASSERT_TRUE(service_bus.registerService("org.freedesktop.Notifications"));
  {
    SongNotifier notifier;
    TrackInfo track;
    notifier.update(track);  // no song: nothing
    track.id = 1;
    track.title = "First";
    track.artist = "Artist";
    track.album = "Album";
    track.art_path = "/music/Cover.jpg";
    notifier.update(track);
    ASSERT_TRUE(spinUntil([&] { return service.shown.size() >= 1; }));
    notifier.update(track);  // the same song again: nothing new
    // The service's answer (the id the next one replaces) reaches the notifier.
    ASSERT_TRUE(spinUntil([&] { return notifier.lastId() == 41; }));
    track.id = 2;
    track.title = "Second";
    track.art_path.clear();
    notifier.update(track);
    ASSERT_TRUE(spinUntil([&] { return service.shown.size() >= 2; }));
    ASSERT_TRUE(spinUntil([&] { return notifier.lastId() == 42; }));
    // The second song's picture is found a moment later: its notification again, with it.
    track.art_path = "/run/tunora/cover 7.png";
    notifier.update(track);
    ASSERT_TRUE(spinUntil([&] { return service.shown.size() >= 3; }));
    notifier.update(track);  // nothing new
    track.art_path.clear();  // the picture goes while the song plays: nothing
    notifier.update(track);
    ASSERT_TRUE(spinUntil([&] { return notifier.lastId() == 43; }));
  }
  ASSERT_EQ(service.shown.size(), 3);
  EXPECT_EQ(service.shown[0].summary, "First");
  EXPECT_EQ(service.shown[0].replaces, 0u);
  EXPECT_EQ(service.shown[0].body, "Artist — Album");
  EXPECT_EQ(service.shown[0].hints.value("image-path").toString(), "file:///music/Cover.jpg");
  EXPECT_EQ(service.shown[1].summary, "Second");
  EXPECT_EQ(service.shown[1].replaces, 41u);
  EXPECT_FALSE(service.shown[1].hints.contains("image-path"));
  EXPECT_EQ(service.shown[2].summary, "Second");
  EXPECT_EQ(service.shown[2].replaces, 42u);
  EXPECT_EQ(service.shown[2].hints.value("image-path").toString(),
            "file:///run/tunora/cover%207.png");
  service_bus.unregisterService("org.freedesktop.Notifications");
  service_bus.unregisterObject("/org/freedesktop/Notifications");
  QDBusConnection::disconnectFromBus("notifications");
}

TEST(SongNotifierTest, NotifyFileTurnsThemOff) {
  tunora::testing::TempDir data;
  EXPECT_TRUE(notificationsWanted(data.folder()));  // no file: on
  tunora::testing::writeText(data.file("Notify.txt"), "0 = off\n");
  EXPECT_FALSE(notificationsWanted(data.folder()));
  tunora::testing::writeText(data.file("Notify.txt"), "1");
  EXPECT_TRUE(notificationsWanted(data.folder()));
}

}  // namespace
}  // namespace tunora::ui::qt

// "mpris_tests --serve-notifications LOG": the mocked notification service alone, on the session
// bus until killed, writing "Notify<TAB>replaces<TAB>summary<TAB>image-path" lines to LOG (for
// the desktop program's end-to-end test).
int serveNotifications(const char* log_path) {
  std::FILE* log = std::fopen(log_path, "a");
  if (log == nullptr) return 2;
  tunora::ui::qt::FakeNotifications service;
  service.log = log;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerVirtualObject("/org/freedesktop/Notifications", &service) ||
      !bus.registerService("org.freedesktop.Notifications")) {
    return 2;
  }
  return QCoreApplication::exec();
}

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 3 && std::string(argv[1]) == "--serve-notifications") {
    return serveNotifications(argv[2]);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "mpris_test.moc"
