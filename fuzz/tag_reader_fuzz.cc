// Fuzz target: the tag reader on arbitrary file contents, then the song texts it leads to.
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/tag_reader.h"
#include "media/tag_text.h"
#include "util/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tunora::media::TagRecord record;
  tunora::media::readTagsFromBytes(std::span<const uint8_t>(data, size),
                                   "/music/Band/Album/track.mp3", record);
  // Whatever the input, the texts must be bounded and UTF-8 (the title's default comes from a
  // path of ASCII here).
  for (const std::string* text : {&record.title, &record.artist, &record.album, &record.comment}) {
    if (text->size() > tunora::media::kTagTextMax || !tunora::isValidUtf8(*text)) __builtin_trap();
  }
  if (record.year != tunora::media::kNoData && record.year.size() > tunora::media::kTagYearMax) {
    __builtin_trap();
  }
  return 0;
}
