// Filling a song record's texts from its media file: the tag, the file name, and with
// "Dir -> ID" the names of the two folders above the file; and the LAME check, which gives files
// carrying the LAME encoder mark a start point.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "marlbase/table_handle.h"
#include "media/media_type.h"

namespace tunora::media {

// The settings the song filling reads.
struct TagOptions {
  bool dir_to_id = true;    // "Dir -> ID": album and artist from folder names when missing
  bool lame_check = false;  // "LAME check"
  MediaSwitches switches;   // decides whether a title taken from a file name loses its extension
};

// The start point the LAME check gives, in the media window's position units.
inline constexpr uint32_t kLameStartFrame = 540;

// The texts to write into a song; a field without a value is left as it is in the record.
struct SongTexts {
  std::optional<std::string> album;
  std::optional<std::string> artist;
  std::optional<std::string> title;
  std::optional<std::string> note;
};

// What fillSongFromFile writes, without the table. With names_only the file is not opened: the
// title is the file name without its extension, the note " ", and the album and artist the
// folder names (with "Dir -> ID" on; otherwise left alone). Every text is UTF-8 of at most 63
// bytes. Returns false, texts empty, when names_only is false and the file cannot be opened.
bool songTextsFromFile(const std::string& path, bool names_only, const TagOptions& options,
                       SongTexts& texts);

// True when the letters "LAME" appear in sequence within the first 5000 bytes of the file. The
// match is the historic one: after an "L", each following byte must continue the word, and a
// byte that breaks it does not start a new match. False when the file cannot be opened.
bool hasLameMark(const std::string& path);

// Gives the song at slot the start point kLameStartFrame when the file carries the LAME mark and
// the song's StartFrame is 0. The table must be open for writing.
void lameCheck(const std::string& path, marlbase::TableHandle& table, int32_t slot);

// Runs the LAME check when it is on, then writes the song's Album, Artist, Title and Note, in
// that order, from songTextsFromFile. Returns false when the file could not be opened (nothing
// is written then, apart from the LAME check's start point) or a write failed.
bool fillSongFromFile(const std::string& path, marlbase::TableHandle& table, int32_t slot,
                      bool names_only, const TagOptions& options);

}  // namespace tunora::media
