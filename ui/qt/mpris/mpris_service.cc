// MPRIS2 over a QDBusVirtualObject: every call is answered on the object's own thread, where the
// MediaPlayerControl is used.
#include "ui/qt/mpris/mpris_service.h"

#include <unistd.h>

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStringList>
#include <algorithm>

namespace tunora::ui::qt {
namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kBaseName = QStringLiteral("org.mpris.MediaPlayer2.tunora");

QString text(const std::string& value) { return QString::fromStdString(value); }

// A file URL naming the file's own bytes: a name that is not valid UTF-8 keeps them
// (percent-encoded) instead of turning into replacement characters.
QString fileUrl(const std::string& path) {
  const QByteArray encoded =
      QByteArray::fromStdString(path).toPercentEncoding(QByteArrayLiteral("/!$&'()*+,;=:@"));
  return QStringLiteral("file://") + QString::fromLatin1(encoded);
}

QString statusName(PlaybackStatus status) {
  switch (status) {
    case PlaybackStatus::kPlaying:
      return QStringLiteral("Playing");
    case PlaybackStatus::kPaused:
      return QStringLiteral("Paused");
    case PlaybackStatus::kStopped:
      break;
  }
  return QStringLiteral("Stopped");
}

QDBusObjectPath trackPath(int64_t id) {
  if (id == 0) return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
  return QDBusObjectPath(QStringLiteral("/org/pellan/Tunora/track/%1").arg(id));
}

const char kIntrospection[] = R"(
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/>
      <arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="read"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get">
      <arg name="interface_name" type="s" direction="in"/>
      <arg name="property_name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="GetAll">
      <arg name="interface_name" type="s" direction="in"/>
      <arg name="properties" type="a{sv}" direction="out"/>
    </method>
    <method name="Set">
      <arg name="interface_name" type="s" direction="in"/>
      <arg name="property_name" type="s" direction="in"/>
      <arg name="value" type="v" direction="in"/>
    </method>
    <signal name="PropertiesChanged">
      <arg name="interface_name" type="s"/>
      <arg name="changed_properties" type="a{sv}"/>
      <arg name="invalidated_properties" type="as"/>
    </signal>
  </interface>
)";

}  // namespace

std::unique_ptr<MprisService> MprisService::start(MediaPlayerControl& control,
                                                  QDBusConnection bus) {
  if (!bus.isConnected()) return nullptr;
  std::unique_ptr<MprisService> service(new MprisService(control, bus));
  if (!bus.registerVirtualObject(kPath, service.get(), QDBusConnection::SingleNode)) {
    return nullptr;
  }
  QString name = kBaseName;
  if (!bus.registerService(name)) {
    name = kBaseName + QStringLiteral(".instance%1").arg(::getpid());
    if (!bus.registerService(name)) {
      bus.unregisterObject(kPath);
      return nullptr;
    }
  }
  service->name_ = name;
  service->announced_ = service->playerProperties();
  service->announced_.remove(QStringLiteral("Position"));
  return service;
}

MprisService::MprisService(MediaPlayerControl& control, QDBusConnection bus)
    : control_(control), bus_(std::move(bus)) {}

MprisService::~MprisService() {
  if (!name_.isEmpty()) bus_.unregisterService(name_);
  bus_.unregisterObject(kPath);
}

QString MprisService::introspect(const QString&) const { return QString::fromUtf8(kIntrospection); }

QVariantMap MprisService::rootProperties() const {
  return {
      {QStringLiteral("CanQuit"), true},
      {QStringLiteral("CanRaise"), true},
      {QStringLiteral("HasTrackList"), false},
      {QStringLiteral("Identity"), QStringLiteral("Tunora")},
      {QStringLiteral("DesktopEntry"), QStringLiteral("org.pellan.Tunora")},
      {QStringLiteral("SupportedUriSchemes"), QStringList{QStringLiteral("file")}},
      {QStringLiteral("SupportedMimeTypes"),
       QStringList{"audio/mpeg", "audio/x-wav", "audio/midi", "audio/x-ms-wma", "video/x-ms-asf",
                   "video/x-msvideo", "video/mpeg", "video/x-ms-wmv"}},
  };
}

QVariantMap MprisService::metadata(const TrackInfo& track) const {
  QVariantMap map;
  map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackPath(track.id)));
  if (track.id == 0) return map;
  map.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(track.length_us));
  map.insert(QStringLiteral("xesam:title"), text(track.title));
  map.insert(QStringLiteral("xesam:artist"), QStringList{text(track.artist)});
  map.insert(QStringLiteral("xesam:album"), text(track.album));
  map.insert(QStringLiteral("xesam:url"), fileUrl(track.path));
  if (!track.art_path.empty()) map.insert(QStringLiteral("mpris:artUrl"), fileUrl(track.art_path));
  if (track.rating) map.insert(QStringLiteral("xesam:userRating"), *track.rating);
  if (track.track_number > 0) map.insert(QStringLiteral("xesam:trackNumber"), track.track_number);
  if (!track.genre.empty()) {
    map.insert(QStringLiteral("xesam:genre"), QStringList{text(track.genre)});
  }
  return map;
}

QVariantMap MprisService::playerProperties() const {
  const TrackInfo track = control_.track();
  const bool has_song = track.id != 0;
  return {
      {QStringLiteral("PlaybackStatus"), statusName(control_.status())},
      {QStringLiteral("Rate"), 1.0},
      {QStringLiteral("MinimumRate"), 1.0},
      {QStringLiteral("MaximumRate"), 1.0},
      {QStringLiteral("Volume"), control_.volume()},
      {QStringLiteral("Metadata"), metadata(track)},
      {QStringLiteral("Position"), static_cast<qlonglong>(control_.positionUs())},
      {QStringLiteral("CanGoNext"), true},
      {QStringLiteral("CanGoPrevious"), true},
      {QStringLiteral("CanPlay"), true},
      {QStringLiteral("CanPause"), true},
      {QStringLiteral("CanSeek"), has_song && track.length_us > 0},
      {QStringLiteral("CanControl"), true},
  };
}

void MprisService::refresh() {
  QVariantMap now = playerProperties();
  now.remove(QStringLiteral("Position"));  // announced by Seeked only
  QVariantMap changed;
  for (auto it = now.cbegin(); it != now.cend(); ++it) {
    if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
  }
  announced_ = now;
  if (changed.isEmpty()) return;
  QDBusMessage signal =
      QDBusMessage::createSignal(kPath, kProperties, QStringLiteral("PropertiesChanged"));
  signal << kPlayer << changed << QStringList();
  bus_.send(signal);
}

void MprisService::sendSeeked(int64_t position_us) {
  QDBusMessage signal = QDBusMessage::createSignal(kPath, kPlayer, QStringLiteral("Seeked"));
  signal << static_cast<qlonglong>(position_us);
  bus_.send(signal);
}

bool MprisService::callMethod(const QString& interface, const QString& member,
                              const QDBusMessage& message) {
  const QVariantList args = message.arguments();
  if (interface == kRoot || interface.isEmpty()) {
    if (member == QLatin1String("Raise")) return control_.raise(), true;
    if (member == QLatin1String("Quit")) return control_.quit(), true;
    if (interface == kRoot) return false;
  }
  if (member == QLatin1String("PlayPause")) return control_.playPause(), true;
  if (member == QLatin1String("Play")) return control_.play(), true;
  if (member == QLatin1String("Pause")) return control_.pause(), true;
  if (member == QLatin1String("Stop")) return control_.stop(), true;
  if (member == QLatin1String("Next")) return control_.next(), true;
  if (member == QLatin1String("Previous")) return control_.previous(), true;
  if (member == QLatin1String("OpenUri")) return true;  // the library decides what plays
  const TrackInfo track = control_.track();
  if (member == QLatin1String("Seek") && args.size() == 1) {
    if (track.id == 0 || track.length_us <= 0) return true;
    // Compared without forming the sum, which any offset near the int64 limits would overflow.
    const int64_t position = std::clamp<int64_t>(control_.positionUs(), 0, track.length_us);
    const int64_t offset = args[0].toLongLong();
    if (offset >= track.length_us - position) return control_.next(), true;  // past the end
    const int64_t target = offset <= -position ? 0 : position + offset;
    control_.seekTo(target);
    sendSeeked(target);
    return true;
  }
  if (member == QLatin1String("SetPosition") && args.size() == 2) {
    const QString id = qvariant_cast<QDBusObjectPath>(args[0]).path();
    const int64_t target = args[1].toLongLong();
    // A stale track id or a position outside the song is ignored, as the interface asks.
    if (track.id == 0 || id != trackPath(track.id).path() || target < 0 ||
        target > track.length_us) {
      return true;
    }
    control_.seekTo(target);
    sendSeeked(target);
    return true;
  }
  return false;
}

bool MprisService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.type() != QDBusMessage::MethodCallMessage) return false;
  // Answered on this object's thread, where the player's control is used.
  QMetaObject::invokeMethod(this, [this, message, connection] {
    QDBusConnection reply_to = connection;
    const QString interface = message.interface();
    const QString member = message.member();
    const QVariantList args = message.arguments();
    if (interface == QLatin1String("org.freedesktop.DBus.Introspectable") &&
        member == QLatin1String("Introspect")) {
      const QString xml =
          QStringLiteral(
              "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\" "
              "\"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>") +
          QString::fromUtf8(kIntrospection) +
          QStringLiteral(
              "  <interface name=\"org.freedesktop.DBus.Introspectable\">\n"
              "    <method name=\"Introspect\"><arg name=\"xml_data\" type=\"s\" "
              "direction=\"out\"/></method>\n  </interface>\n</node>\n");
      reply_to.send(message.createReply(xml));
      return;
    }
    if (interface == kProperties) {
      const QString which = args.value(0).toString();
      if (which != kRoot && which != kPlayer) {
        reply_to.send(message.createErrorReply(QDBusError::UnknownInterface,
                                               QStringLiteral("no such interface: ") + which));
        return;
      }
      const QVariantMap props = which == kRoot ? rootProperties() : playerProperties();
      if (member == QLatin1String("GetAll") && args.size() == 1) {
        reply_to.send(message.createReply(QVariant::fromValue(props)));
        return;
      }
      if (member == QLatin1String("Get") && args.size() == 2 &&
          props.contains(args[1].toString())) {
        reply_to.send(message.createReply(
            QVariant::fromValue(QDBusVariant(props.value(args[1].toString())))));
        return;
      }
      if (member == QLatin1String("Set") && args.size() == 3 && which == kPlayer &&
          args[1].toString() == QLatin1String("Volume")) {
        const QVariant value = qvariant_cast<QDBusVariant>(args[2]).variant();
        if (value.typeId() != QMetaType::Double) {
          reply_to.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("Volume takes a number")));
          return;
        }
        // Below 0 is silence; above 1 the player does not amplify.
        control_.setVolume(std::clamp(value.toDouble(), 0.0, 1.0));
        reply_to.send(message.createReply());
        refresh();
        return;
      }
      if (member == QLatin1String("Set")) {  // nothing else is writable
        reply_to.send(message.createErrorReply(QDBusError::PropertyReadOnly,
                                               QStringLiteral("read-only property")));
        return;
      }
      reply_to.send(message.createErrorReply(QDBusError::UnknownProperty,
                                             QStringLiteral("no such property")));
      return;
    }
    if (!callMethod(interface, member, message)) {
      reply_to.send(message.createErrorReply(QDBusError::UnknownMethod,
                                             QStringLiteral("no such method: ") + member));
      return;
    }
    reply_to.send(message.createReply());
    refresh();
  });
  return true;
}

}  // namespace tunora::ui::qt
