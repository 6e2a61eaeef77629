// The video area: shows the frames the media back end decodes, in the area of the main window
// that the player asks for (upper right, W/2 x H/2) or filling the screen. The back end calls
// the VideoFrameConsumer side on its own threads; every call is queued to the GUI thread, and a
// frame that arrives while the previous one is still waiting to be drawn replaces it.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <mutex>

#include "platform/video_frames.h"

namespace tunora::ui::qt {

class VideoWidget final : public QWidget {
  Q_OBJECT

 public:
  // `host` is the main window's client area; the widget lives inside it unless full screen.
  explicit VideoWidget(QWidget* host);

  void setFrame(QImage frame);
  void placeIn(const VideoArea& area);
  void setFullScreenMode(bool full_screen);
  bool fullScreenMode() const { return full_screen_; }
  const QImage& frame() const { return frame_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<QWidget> host_;
  QImage frame_;
  VideoArea area_;
  bool full_screen_ = false;
};

class VideoFrameSink final : public VideoFrameConsumer {
 public:
  explicit VideoFrameSink(VideoWidget* widget) : widget_(widget) {}
  // The widget the frames go to; set on the GUI thread before the back end starts.
  void setWidget(VideoWidget* widget) { widget_ = widget; }

  void showFrame(const VideoFrame& frame) override;
  void setVisible(bool visible) override;
  void setArea(const VideoArea& area) override;
  void setFullScreen(bool full_screen) override;

 private:
  QPointer<VideoWidget> widget_;
  std::mutex mu_;
  QImage latest_;  // guarded by mu_
  std::atomic<bool> frame_queued_{false};
};

}  // namespace tunora::ui::qt
