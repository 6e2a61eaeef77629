// The media-player interface on a private session bus (run under dbus-run-session) with a fake
// player, for what the desktop program's end-to-end run does not reach: errors, Metadata's
// optional keys and URL bytes, Seek and SetPosition at the edges, the volume's clamps. A second
// connection plays the desktop's part. Every wait is bounded; none measures time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <cstdio>
#include <limits>
#include <string>

#include "ui/qt/mpris/mpris_service.h"

namespace tunora::ui::qt {
namespace {

class FakePlayer : public MediaPlayerControl {
 public:
  void raise() override {}
  void quit() override {}
  void playPause() override {}
  void play() override {}
  void pause() override {}
  void stop() override {}
  void next() override { ++song_, position_ = 0; }
  void previous() override {}
  void seekTo(int64_t position_us) override { position_ = position_us; }
  PlaybackStatus status() const override { return PlaybackStatus::kPlaying; }
  TrackInfo track() const override {
    const std::string n = std::to_string(song_);
    return {.id = song_,
            .title = "Song " + n,
            .path = path.empty() ? "/music/song " + n + ".mp3" : path,
            .length_us = 180'000'000,
            .rating = 0.8,
            .track_number = song_ == 1 ? 7 : 0,
            .genre = song_ == 1 ? "Jazz" : ""};
  }
  int64_t positionUs() const override { return position_; }
  double volume() const override { return volume_; }
  void setVolume(double level) override { volume_ = level; }

  std::string path;  // the track's file, when set

 private:
  int64_t song_ = 1;
  int64_t position_ = 0;
  double volume_ = 1.0;
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
    for (QDeadlineTimer limit(10000); !pending.isFinished() && !limit.hasExpired();) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_TRUE(pending.isFinished()) << member.toStdString();
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

TEST_F(MprisTest, AnUnknownMethodIsAnErrorAndMetadataHasOnlyTheKeysTheSongHas) {
  EXPECT_EQ(act("Fly").type(), QDBusMessage::ErrorMessage);
  const QVariantMap meta = metadata();
  EXPECT_EQ(meta.value("mpris:length").toLongLong(), 180'000'000);
  EXPECT_DOUBLE_EQ(meta.value("xesam:userRating").toDouble(), 0.8);
  EXPECT_EQ(meta.value("xesam:trackNumber").toInt(), 7);
  EXPECT_EQ(meta.value("xesam:genre").toStringList(), QStringList{"Jazz"});
  const QString first_id = trackId();
  act("Next");
  EXPECT_FALSE(metadata().contains("xesam:trackNumber"));  // the tag has none
  EXPECT_FALSE(metadata().contains("xesam:genre"));
  EXPECT_NE(trackId(), first_id);
  // A name that is not UTF-8 gives a URL of the file's own bytes.
  player.path = "/music/caf\xE9 \xFF%/a\xC3\xA9.mp3";  // Latin-1 bytes, a bare %, and UTF-8
  EXPECT_EQ(metadata().value("xesam:url").toString(), "file:///music/caf%E9%20%FF%25/a%C3%A9.mp3");
}

TEST_F(MprisTest, SeekAndSetPositionMoveThePositionAndTheVolumeIsClamped) {
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

  // The volume is writable and clamped, everything else read-only.
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

}  // namespace
}  // namespace tunora::ui::qt

// "mpris_tests --serve-notifications LOG": the desktop's notification service, mocked, on the
// session bus until killed, writing "Notify<TAB>replaces<TAB>summary<TAB>image-path" lines to LOG
// and answering with new ids (for the desktop program's end-to-end test).
class FakeNotifications : public QDBusVirtualObject {
 public:
  explicit FakeNotifications(std::FILE* log) : log_(log) {}
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() != QLatin1String("Notify")) return false;
    const QVariantList a = message.arguments();
    QMetaObject::invokeMethod(this, [this, message, connection, a] {
      std::fprintf(log_, "Notify\t%u\t%s\t%s\n", a.value(1).toUInt(),
                   qPrintable(a.value(3).toString()),
                   qPrintable(qdbus_cast<QVariantMap>(a.value(6)).value("image-path").toString()));
      std::fflush(log_);
      QDBusConnection(connection).send(message.createReply(QVariant::fromValue(++next_id_)));
    });
    return true;
  }

 private:
  std::FILE* log_;
  uint32_t next_id_ = 40;
};

int serveNotifications(const char* log_path) {
  std::FILE* log = std::fopen(log_path, "a");
  if (log == nullptr) return 2;
  FakeNotifications service(log);
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
