// The video area.
#include "ui/qt/video_widget.h"

#include <QPainter>
#include <cstring>

namespace tunora::ui::qt {

VideoWidget::VideoWidget(QWidget* host) : QWidget(host), host_(host) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAccessibleName("Video");
  hide();
}

void VideoWidget::setFrame(QImage frame) {
  frame_ = std::move(frame);
  update();
}

void VideoWidget::placeIn(const VideoArea& area) {
  area_ = area;
  if (!full_screen_) setGeometry(area.x, area.y, area.width, area.height);
}

void VideoWidget::setFullScreenMode(bool full_screen) {
  if (full_screen == full_screen_) return;
  full_screen_ = full_screen;
  const bool was_visible = isVisible();
  if (full_screen) {
    setParent(nullptr, Qt::Window);
    if (was_visible) showFullScreen();
  } else {
    setParent(host_, Qt::Widget);
    setGeometry(area_.x, area_.y, area_.width, area_.height);
    if (was_visible) show();
  }
}

void VideoWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (frame_.isNull()) return;
  // Keep the picture's shape, centred in the area.
  QSize size = frame_.size().scaled(this->size(), Qt::KeepAspectRatio);
  QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, frame_);
}

void VideoFrameSink::showFrame(const VideoFrame& frame) {
  if (frame.width <= 0 || frame.height <= 0 || frame.stride < frame.width * 4 ||
      frame.pixels.size() < static_cast<size_t>(frame.stride) * frame.height) {
    return;
  }
  QImage image(frame.width, frame.height, QImage::Format_RGB32);
  for (int y = 0; y < frame.height; ++y) {
    std::memcpy(image.scanLine(y), frame.pixels.data() + static_cast<size_t>(y) * frame.stride,
                static_cast<size_t>(frame.width) * 4);
  }
  {
    std::lock_guard lock(mu_);
    latest_ = std::move(image);
  }
  if (frame_queued_.exchange(true)) return;  // the queued call will take this frame
  QPointer<VideoWidget> widget = widget_;
  if (!widget) return;
  QMetaObject::invokeMethod(
      widget,
      [this, widget] {
        QImage next;
        {
          std::lock_guard lock(mu_);
          next = std::move(latest_);
          latest_ = QImage();
        }
        frame_queued_.store(false);
        if (widget && !next.isNull()) widget->setFrame(std::move(next));
      },
      Qt::QueuedConnection);
}

void VideoFrameSink::setVisible(bool visible) {
  QPointer<VideoWidget> widget = widget_;
  if (!widget) return;
  QMetaObject::invokeMethod(
      widget,
      [widget, visible] {
        if (!widget) return;
        if (!visible) {
          widget->hide();
        } else if (widget->fullScreenMode()) {
          widget->showFullScreen();
        } else {
          widget->show();
          widget->raise();
        }
      },
      Qt::QueuedConnection);
}

void VideoFrameSink::setArea(const VideoArea& area) {
  QPointer<VideoWidget> widget = widget_;
  if (!widget) return;
  QMetaObject::invokeMethod(
      widget, [widget, area] { if (widget) widget->placeIn(area); }, Qt::QueuedConnection);
}

void VideoFrameSink::setFullScreen(bool full_screen) {
  QPointer<VideoWidget> widget = widget_;
  if (!widget) return;
  QMetaObject::invokeMethod(
      widget, [widget, full_screen] { if (widget) widget->setFullScreenMode(full_screen); },
      Qt::QueuedConnection);
}

}  // namespace tunora::ui::qt
