// Fuzz target: the tag reader on arbitrary file contents, then the song texts it leads to; the
// same bytes are read once more as a file (in memory), through the file source. The embedded
// picture reader walks the same ID3v2 frames.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "media/embedded_picture.h"
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
  tunora::media::MemoryTagSource source(std::span<const uint8_t>(data, size));
  if (const auto picture = tunora::media::readEmbeddedPicture(source)) {
    if (picture->bytes.empty() || picture->bytes.size() > tunora::media::kMaxEmbeddedPicture) {
      __builtin_trap();
    }
  }
  const int fd = memfd_create("tag", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    tunora::media::TagRecord from_file;
    if (!tunora::media::readTags("/proc/self/fd/" + std::to_string(fd), from_file)) {
      __builtin_trap();
    }
    if (from_file.artist != record.artist || from_file.album != record.album ||
        from_file.comment != record.comment) {
      __builtin_trap();
    }
  }
  close(fd);
  return 0;
}
