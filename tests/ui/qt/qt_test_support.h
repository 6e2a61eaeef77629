// Helpers of the Qt tests: running the event loop until a condition holds, bounded by a count
// of passes rather than by the clock.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <functional>

namespace tunora::ui::qt {

// Processes events until `done` holds or 10,000 passes went by; returns whether it holds. Each
// pass handles what is queued, then gives other threads 1 ms to queue more.
inline bool processEventsUntil(const std::function<bool()>& done) {
  for (int pass = 0; pass < 10000; ++pass) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (done()) return true;
    QThread::msleep(1);
  }
  return done();
}

}  // namespace tunora::ui::qt
