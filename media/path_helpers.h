// Path helpers shared by tag reading, import, cover art and the media filler. Paths use "/" as
// the separator.
#pragma once

#include <string>
#include <string_view>

namespace tunora::media {

// The last component of p: one trailing "/" is dropped first; when what remains is longer than
// 2 characters, contains a "/", and the text after its last "/" is at least 2 characters long,
// that text. Otherwise p itself, unchanged (trailing "/" included).
// "/music/b.mp3" -> "b.mp3"; "/music/Album/" -> "Album"; "/music/x" -> "/music/x"; "/" -> "/".
std::string lastPathComponent(std::string_view p);

// p up to and including its last "/"; p unchanged when it has none.
std::string parentFolderOf(std::string_view p);

// n cut at its last "."; n unchanged when it has none.
std::string stripExtension(std::string_view n);

}  // namespace tunora::media
