// The cover loader: the short worker the supervisor starts while an audio song plays and no
// picture is ready. It searches (cover_search.h), chooses by UpperRightView, and has the
// window's decoder load the picture (up to 10 tries). It never takes the database lock.
//
// wanted(): playing, "Cover Art" on, an audio song (type below 16), no picture ready, no loader
// busy, fewer than 2 failures for this song, and the lookup not finished.
// run(): nothing when a loader is busy, the song is video or "Cover Art" is off; a grant held by
// somebody does not matter (the loader reads files only, so it runs beside a build, an import or
// the checksum pass: register it with WorkerNeeds::kNothing). A build in progress (build-request
// word 1..999) is asked to go on (10).
// On success: the size is stored, `ready` is set and the cover area repainted. No picture
// anywhere: the lookup ends for this song, quietly. A picture that does not decode in 10 tries:
// released, and the failure counter rises; the second such failure for a song puts "Not enough
// Memory for Cover Image" into the status message, sets the error flag and ends the lookup.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/random_source.h"
#include "engine/shared_words.h"
#include "engine/status_message.h"
#include "player/player_state.h"
#include "settings/settings.h"
#include "ui/cover_search.h"
#include "ui/geometry.h"
#include "ui/window_state.h"

namespace tunora::ui {

inline constexpr char kCoverMemoryMessage[] = "Not enough Memory for Cover Image";
inline constexpr int32_t kCoverLoadTries = 10;
inline constexpr int32_t kCoverFailureLimit = 2;

// The window's picture decoder (Qt image readers, with a size limit). Called on the loader's
// thread; it keeps the decoded picture for the display.
class PictureDecoder {
 public:
  virtual ~PictureDecoder() = default;
  struct Size {
    int32_t width = 0;
    int32_t height = 0;
  };
  // Decodes the source (a file, or the picture embedded in the media file's tag) and keeps it
  // as the picture to draw. A size of 0 x 0 when it cannot (unreadable, not a picture, too big).
  virtual Size load(const CoverSource& source) = 0;
  // Drops the kept picture.
  virtual void release() = 0;
};

struct CoverLoaderParts {
  WindowState& window;
  engine::SharedWords& words;
  Settings& settings;
  player::PlayerState& player;
  engine::StatusMessage& status;
  engine::RandomSource& random;
  PictureDecoder& decoder;
  std::string data_directory;
  std::string program_directory;
  // Repaints a rectangle of the window (queued to the window thread).
  std::function<void(const Rect&)> repaint;
};

class CoverLoader {
 public:
  explicit CoverLoader(CoverLoaderParts parts) : p_(std::move(parts)) {}
  // The supervisor's condition.
  bool wanted() const;
  // The loader's body.
  void run();

 private:
  void fail();
  CoverLoaderParts p_;
};

}  // namespace tunora::ui
