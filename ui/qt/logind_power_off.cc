// PowerOff over logind.
#include "ui/qt/logind_power_off.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace tunora::ui::qt {

bool LogindPowerOff::powerOff() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return false;
  QDBusInterface manager("org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", bus);
  if (!manager.isValid()) return false;
  QDBusReply<QString> can = manager.call("CanPowerOff");
  if (!can.isValid() || can.value() != "yes") return false;
  QDBusReply<void> done = manager.call("PowerOff", false);
  return done.isValid();
}

}  // namespace tunora::ui::qt
