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

constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

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
  QDBusMessage act(const QString& member, const QVariantList& args = {}) {
    return call(kPlayer, member, args);
  }
  QVariant property(const QString& name) {
    const QDBusMessage reply = call(kProperties, "Get", {kPlayer, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return qvariant_cast<QDBusVariant>(reply.arguments()[0]).variant();
  }
  QDBusMessage set(const QString& name, const QVariant& value) {
    return call(kProperties, "Set", {kPlayer, name, QVariant::fromValue(QDBusVariant(value))});
  }
  QVariantMap metadata() { return qdbus_cast<QVariantMap>(property("Metadata")); }
  QString title() { return metadata().value("xesam:title").toString(); }
  QString trackId() {
    return qvariant_cast<QDBusObjectPath>(metadata().value("mpris:trackid")).path();
  }

  FakePlayer player;
  std::unique_ptr<MprisService> service;
  std::unique_ptr<QDBusConnection> client;
};

TEST_F(MprisTest, IntrospectionShowsBothInterfacesTheNameAndASecondCopysInstanceName) {
  EXPECT_EQ(service->busName(), "org.mpris.MediaPlayer2.tunora");
  const QDBusMessage reply = call("org.freedesktop.DBus.Introspectable", "Introspect");
  QDomDocument xml;
  ASSERT_TRUE(xml.setContent(reply.arguments().value(0).toString()));
  QStringList interfaces;
  const QDomNodeList nodes = xml.elementsByTagName("interface");
  for (int i = 0; i < nodes.size(); ++i) interfaces << nodes.at(i).toElement().attribute("name");
  EXPECT_TRUE(interfaces.contains("org.mpris.MediaPlayer2") && interfaces.contains(kPlayer));

  const QVariantMap root = qdbus_cast<QVariantMap>(
      call(kProperties, "GetAll", {"org.mpris.MediaPlayer2"}).arguments().value(0));
  EXPECT_EQ(root.value("Identity").toString(), "Tunora");
  EXPECT_TRUE(root.value("CanQuit").toBool());
  call("org.mpris.MediaPlayer2", "Raise");
  call("org.mpris.MediaPlayer2", "Quit");
  EXPECT_EQ(player.raised, 1);
  EXPECT_EQ(player.quits, 1);
  EXPECT_EQ(act("Fly").type(), QDBusMessage::ErrorMessage);
  // Properties of an interface the object does not have are an error, not an empty answer.
  for (const QString& which : {QStringLiteral("org.example.Nothing"), QString()}) {
    EXPECT_EQ(call(kProperties, "GetAll", {which}).errorName(),
              "org.freedesktop.DBus.Error.UnknownInterface")
        << which.toStdString();
  }
  FakePlayer other;
  auto second = MprisService::start(other, *client);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->busName().startsWith("org.mpris.MediaPlayer2.tunora.instance"));
}

TEST_F(MprisTest, PlayPauseStartsThePlayerAndMetadataFollowsASkip) {
  EXPECT_EQ(property("PlaybackStatus").toString(), "Stopped");
  act("PlayPause");
  EXPECT_EQ(player.status(), PlaybackStatus::kPlaying);
  EXPECT_EQ(property("PlaybackStatus").toString(), "Playing");
  const QVariantMap meta = metadata();
  const std::pair<const char*, QVariant> shown[] = {
      {"xesam:title", "Song 1"},
      {"xesam:artist", QStringList{"Artist"}},
      {"xesam:url", "file:///music/Artist/Album/song%201.mp3"},
      {"mpris:artUrl", "file:///music/Artist/Album/Cover.jpg"},
      {"mpris:length", qlonglong(180'000'000)},
      {"xesam:userRating", 0.8},
      {"xesam:trackNumber", 7},
      {"xesam:genre", QStringList{"Jazz"}}};
  for (const auto& [key, value] : shown) {
    EXPECT_EQ(meta.value(key).toString(), value.toString()) << key;
    EXPECT_EQ(meta.value(key).toStringList(), value.toStringList()) << key;
  }
  const QString first_id = trackId();
  act("Next");
  EXPECT_EQ(title(), "Song 2");
  EXPECT_FALSE(metadata().contains("xesam:trackNumber"));  // the tag has none
  EXPECT_FALSE(metadata().contains("xesam:genre"));
  EXPECT_NE(trackId(), first_id);
  act("Previous");
  EXPECT_EQ(title(), "Song 1");
  // A name that is not UTF-8 gives a URL of the file's own bytes.
  player.path = "/music/caf\xE9 \xFF%/a\xC3\xA9.mp3";  // Latin-1 bytes, a bare %, and UTF-8
  EXPECT_EQ(metadata().value("xesam:url").toString(), "file:///music/caf%E9%20%FF%25/a%C3%A9.mp3");
}

TEST_F(MprisTest, SeekAndSetPositionMoveThePositionAndAnnounceIt) {
  SignalLog log;
  ASSERT_TRUE(client->connect(service->busName(), "/org/mpris/MediaPlayer2", kPlayer, "Seeked",
                              &log, SLOT(seeked(qlonglong))));
  act("Play");
  act("Seek", {qlonglong(30'000'000)});
  EXPECT_EQ(property("Position").toLongLong(), 30'000'000);
  act("Seek", {qlonglong(-60'000'000)});
  EXPECT_EQ(player.positionUs(), 0);  // clamped at the start
  const QString id = trackId();
  auto setPosition = [&](const QString& track, qlonglong at) {
    act("SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), at});
  };
  setPosition(id, 90'000'000);
  EXPECT_EQ(player.positionUs(), 90'000'000);
  // A stale track id or a position past the end is ignored.
  setPosition("/org/pellan/Tunora/track/77", 5);
  setPosition(id, 999'000'000);
  EXPECT_EQ(player.positionUs(), 90'000'000);
  ASSERT_TRUE(spinUntil([&] { return log.seeks.size() >= 3; }));
  EXPECT_EQ(log.seeks, (QList<qlonglong>{30'000'000, 0, 90'000'000}));
  // Seeking past the end goes to the next song, also by offsets at the limits of the type.
  act("Seek", {qlonglong(200'000'000)});
  EXPECT_EQ(title(), "Song 2");
  act("Seek", {qlonglong(60'000'000)});
  act("Seek", {std::numeric_limits<qlonglong>::max()});
  EXPECT_EQ(title(), "Song 3");
  act("Seek", {qlonglong(60'000'000)});
  act("Seek", {std::numeric_limits<qlonglong>::min()});
  EXPECT_EQ(player.positionUs(), 0);
  EXPECT_EQ(title(), "Song 3");
}

TEST_F(MprisTest, VolumeIsWritableAndClampedAndEverythingElseReadOnly) {
  EXPECT_DOUBLE_EQ(property("Volume").toDouble(), 1.0);
  const std::pair<QVariant, double> rows[] = {{0.5, 0.5}, {-0.25, 0.0}, {3.0, 1.0}, {"loud", 1.0}};
  for (const auto& [value, kept] : rows) {
    EXPECT_EQ(set("Volume", value).type(), value.typeId() == QMetaType::QString
                                               ? QDBusMessage::ErrorMessage
                                               : QDBusMessage::ReplyMessage);
    EXPECT_DOUBLE_EQ(player.volume(), kept) << value.toString().toStdString();
    EXPECT_DOUBLE_EQ(property("Volume").toDouble(), kept);
  }
  EXPECT_EQ(set("Rate", 2.0).type(), QDBusMessage::ErrorMessage);
}

TEST_F(MprisTest, PropertiesChangedArrivesOnAPauseAndOnAChangeFromThePlayer) {
  SignalLog log;
  ASSERT_TRUE(client->connect(service->busName(), "/org/mpris/MediaPlayer2", kProperties,
                              "PropertiesChanged", &log,
                              SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
  act("Play");
  act("Pause");
  ASSERT_TRUE(spinUntil([&] { return log.changes.size() >= 2; }));
  EXPECT_EQ(log.changes[0].value("PlaybackStatus").toString(), "Playing");
  EXPECT_EQ(log.changes[1].value("PlaybackStatus").toString(), "Paused");
  EXPECT_FALSE(log.changes[1].contains("Metadata"));  // only what changed
  // A song change made by the program itself (not over the bus) is announced by refresh().
  player.next();
  service->refresh();
  service->refresh();  // nothing new: no second signal
  act("Stop");         // a round trip after the refreshes
  ASSERT_TRUE(spinUntil([&] { return log.changes.size() >= 4; }));
  const QVariantMap meta = qdbus_cast<QVariantMap>(log.changes[2].value("Metadata"));
  EXPECT_EQ(meta.value("xesam:title").toString(), "Song 2");
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
