// Which file the player opens for a song. Outside Network mode that is the song's own path; in
// Network mode buffering supplies a local copy and learns when a song had to be played from the
// library instead. The default implementation is the plain choice.
#pragma once

#include <string>

namespace tunora::player {

class FileChoice {
 public:
  virtual ~FileChoice() = default;
  // The file to open for the song at `library_path`.
  virtual std::string fileToOpen(const std::string& library_path) { return library_path; }
  // Network mode is on and the database is online: a local copy that does not open is retried
  // at the library path.
  virtual bool retryAtLibraryPath() { return false; }
  // The song plays from the library path after its copy failed (the status bar says
  // " (Un-Buffered)" once).
  virtual void noteUnbuffered() {}
};

}  // namespace tunora::player
