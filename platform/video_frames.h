// Where the media back end delivers video: decoded frames, and the window area and full-screen
// wish that the player asks for. The main window implements it; without one, video plays its
// sound only.
//
// Called on the back end's streaming threads (frames) and on the player thread (the rest):
// implementations hand the work to their own thread.
#pragma once

#include <cstdint>
#include <span>

#include "platform/media_window.h"

namespace tunora::ui {

struct VideoFrame {
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;               // bytes per row
  std::span<const uint8_t> pixels;  // 32-bit B, G, R, unused; valid only during the call
};

class VideoFrameConsumer {
 public:
  virtual ~VideoFrameConsumer() = default;
  virtual void showFrame(const VideoFrame& frame) = 0;
  // The video area is shown or hidden, placed, or made to fill the screen.
  virtual void setVisible(bool visible) = 0;
  virtual void setArea(const VideoArea& area) = 0;
  virtual void setFullScreen(bool full_screen) = 0;
};

}  // namespace tunora::ui
