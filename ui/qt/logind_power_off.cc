// PowerOff over logind.
#include "ui/qt/logind_power_off.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace tunora::ui::qt {

namespace {

constexpr char kService[] = "org.freedesktop.login1";
constexpr char kPath[] = "/org/freedesktop/login1";
constexpr char kInterface[] = "org.freedesktop.login1.Manager";

}  // namespace

bool LogindPowerOff::canPowerOff() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return false;
  QDBusInterface manager(kService, kPath, kInterface, bus);
  if (!manager.isValid()) return false;
  QDBusReply<QString> can = manager.call("CanPowerOff");
  return can.isValid() && can.value() == "yes";
}

bool LogindPowerOff::powerOff() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return false;
  QDBusInterface manager(kService, kPath, kInterface, bus);
  if (!manager.isValid()) return false;
  QDBusReply<void> done = manager.call("PowerOff", false);
  return done.isValid();
}

}  // namespace tunora::ui::qt
