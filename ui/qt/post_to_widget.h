// Reaching a widget from another thread: a call queued to the GUI thread that runs only if the
// widget still exists when its turn comes.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <utility>

namespace tunora::ui::qt {

// Queues `call(Widget&)` to the GUI thread; dropped when the widget is gone by then. Any thread.
// The QPointer must have been made on the GUI thread: other threads only copy it, and it is
// looked at on the GUI thread, where widgets are deleted. The call is queued through the
// application object, which outlives every widget.
template <typename Widget, typename Call>
void postToWidget(const QPointer<Widget>& widget, Call call) {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [widget, call = std::move(call)]() mutable {
        if (!widget.isNull()) call(*widget);
      },
      Qt::QueuedConnection);
}

}  // namespace tunora::ui::qt
