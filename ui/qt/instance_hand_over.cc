// The hand-over between two starts on the session bus.
#include "ui/qt/instance_hand_over.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>

#include "ui/qt/text.h"

namespace tunora::ui::qt {
namespace {

const char kIntrospection[] = R"(  <interface name="org.pellan.Tunora.Instance">
    <method name="Raise"/>
    <method name="Open">
      <arg name="paths" type="as" direction="in"/>
    </method>
  </interface>
)";

class InstanceObject final : public QDBusVirtualObject {
 public:
  explicit InstanceObject(InstanceService::Actions actions) : actions_(std::move(actions)) {}

  QString introspect(const QString&) const override { return QString::fromUtf8(kIntrospection); }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.type() != QDBusMessage::MethodCallMessage) return false;
    const QString interface = message.interface();
    if (!interface.isEmpty() && interface != QLatin1String(kInstanceInterface)) return false;
    const QString member = message.member();
    if (member == QLatin1String("Raise")) {
      if (actions_.raise) actions_.raise();
    } else if (member == QLatin1String("Open") && message.arguments().size() == 1) {
      std::vector<std::string> paths;
      for (const QString& path : message.arguments()[0].toStringList()) {
        if (!path.isEmpty()) paths.push_back(path.toLocal8Bit().toStdString());
      }
      if (actions_.raise) actions_.raise();
      if (!paths.empty() && actions_.open) actions_.open(std::move(paths));
    } else {
      return false;
    }
    connection.send(message.createReply());
    return true;
  }

 private:
  InstanceService::Actions actions_;
};

}  // namespace

std::string instanceBusName(int64_t pid) {
  return std::string(kInstanceInterface) + ".p" + std::to_string(pid);
}

bool handOverToPlayer(int64_t pid, const std::vector<std::string>& paths, int timeout_ms) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromStdString(instanceBusName(pid)), QLatin1String(kInstancePath),
      QLatin1String(kInstanceInterface), QStringLiteral("Open"));
  QStringList list;
  for (const std::string& path : paths) list << fromPath(path);
  call << list;
  const QDBusMessage reply = bus.call(call, QDBus::Block, timeout_ms);
  return reply.type() == QDBusMessage::ReplyMessage;
}

struct InstanceService::Impl {
  QDBusConnection bus = QDBusConnection::sessionBus();
  QString name;
  std::unique_ptr<InstanceObject> object;
};

std::unique_ptr<InstanceService> InstanceService::start(Actions actions) {
  auto impl = std::make_unique<Impl>();
  if (!impl->bus.isConnected()) return nullptr;
  impl->object = std::make_unique<InstanceObject>(std::move(actions));
  if (!impl->bus.registerVirtualObject(QLatin1String(kInstancePath), impl->object.get(),
                                       QDBusConnection::SingleNode)) {
    return nullptr;
  }
  impl->name = QString::fromStdString(instanceBusName(::getpid()));
  if (!impl->bus.registerService(impl->name)) {
    impl->bus.unregisterObject(QLatin1String(kInstancePath));
    return nullptr;
  }
  return std::unique_ptr<InstanceService>(new InstanceService(std::move(impl)));
}

InstanceService::InstanceService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

InstanceService::~InstanceService() {
  impl_->bus.unregisterService(impl_->name);
  impl_->bus.unregisterObject(QLatin1String(kInstancePath));
}

}  // namespace tunora::ui::qt
