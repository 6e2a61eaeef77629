// Where a song's cover picture comes from. In the song's folder: "Cover.*" and "Disc.*"
// (extensions jpg, jpeg, bmp, gif, png in that order); when neither exists, "Folder.jpg", then
// one picture of any name chosen at random (jpg, then bmp, gif, png). Names match without regard
// to letter case ("cover.JPG" is a Cover picture). When the folder has no picture at all: the
// picture embedded in the song's ID3v2 tag (front cover first), then "Cover.*" in the data
// directory, then in the program directory. Video songs never get a picture.
//
// Which one is shown: the cover when (UpperRightView 1 and a cover exists), (2 and no disc),
// (10 or above and a cover exists) or a fallback was found; otherwise the disc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/random_source.h"

namespace tunora::ui {

struct CoverSource {
  enum class Kind {
    kFile,      // a picture file: path
    kEmbedded,  // the picture in the tag of the media file at path (readEmbeddedPicture)
  };
  Kind kind = Kind::kFile;
  std::string path;
  friend bool operator==(const CoverSource&, const CoverSource&) = default;
};

struct CoverSearch {
  std::optional<CoverSource> cover;     // "Cover.*", or Folder.jpg / another picture
  std::optional<CoverSource> disc;      // "Disc.*"
  std::optional<CoverSource> fallback;  // embedded, data or program directory
  bool found() const { return cover || disc || fallback; }
  bool bothFound() const { return cover && disc; }
};

struct CoverQuery {
  std::string song_path;
  uint32_t media_type = 0;        // codes above 15 are video
  std::string data_directory;     // ends in "/"
  std::string program_directory;  // ends in "/"
};

// Searches the folder and the fallbacks (reads directories, and the song's tag only when the
// folder holds no picture). Nothing for a video song.
CoverSearch searchCover(const CoverQuery& query, engine::RandomSource& random);

// The source to load for the view, or nullopt when nothing was found.
std::optional<CoverSource> chooseCover(const CoverSearch& search, int32_t upper_right_view);

// A file named `base` + one of the picture extensions in `folder` (ending in "/"), letter case
// ignored; the first extension in order that names a readable file.
std::optional<std::string> findPictureNamed(const std::string& folder, const std::string& base);

}  // namespace tunora::ui
