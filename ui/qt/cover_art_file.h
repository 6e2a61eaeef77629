// The cover picture the window shows, as a small PNG file for the desktop: the media controls'
// art URL and the song notification's picture. Each picture gets a name of its own
// ("cover-<pid>-<n>.png"): it is written whole under a temporary name and renamed into place,
// so a reader never sees half a file and a desktop that keeps pictures by name shows the new
// one. The previous file goes when the next is in place or the picture is dropped, the last one
// when this object goes; files that copies no longer running left behind are removed at the
// start. Any thread.
#pragma once

#include <QImage>
#include <cstdint>
#include <mutex>
#include <string>

#include "util/xdg_folders.h"

namespace tunora::ui::qt {

inline constexpr int kCoverArtMaxSide = 512;

// The folder for the file: "<runtime dir>/tunora/" when the runtime directory is set and
// exists, else "<cache home>/tunora/" ($XDG_CACHE_HOME, else "<home>/.cache"); empty when none
// of them is known.
std::string coverArtFolder(const EnvironmentLookup& environment);

class CoverArtFile {
 public:
  // `folder` ends in "/"; it is made (mode 700) at the first write when missing.
  explicit CoverArtFile(std::string folder);
  ~CoverArtFile();
  CoverArtFile(const CoverArtFile&) = delete;
  CoverArtFile& operator=(const CoverArtFile&) = delete;

  // Writes the picture, scaled down to kCoverArtMaxSide pixels at most on either side, and
  // returns its path; empty (and no file kept) when it cannot be written or a write or clear
  // begun later finished first. path() does not wait for the disk work of a write.
  std::string write(const QImage& image);
  // Removes the file; path() is empty afterwards.
  void clear();
  // The file written last; empty when none.
  std::string path() const;

 private:
  void removeLeftovers();
  // Writes the picture as file number `number`; its path, or empty when it could not be written.
  // Without mu_.
  std::string writeFile(const QImage& image, int64_t number, bool sweep);

  const std::string folder_;
  const int64_t pid_ = 0;
  mutable std::mutex mu_;
  std::string path_;    // guarded by mu_
  int64_t count_ = 0;   // the number of the last write or clear begun; guarded by mu_
  int64_t shown_ = 0;   // the number of the write or clear that set path_; guarded by mu_
  bool swept_ = false;  // guarded by mu_
};

}  // namespace tunora::ui::qt
