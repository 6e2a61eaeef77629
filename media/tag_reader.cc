// Tag reading: defaults, then ID3v2, then ID3v1, then the container's own tag.
#include "media/tag_reader.h"

#include "media/container_tags.h"
#include "media/id3v1_reader.h"
#include "media/id3v2_reader.h"
#include "media/path_helpers.h"
#include "media/tag_text.h"

namespace tunora::media {
namespace {

void setDefaults(std::string_view path, TagRecord& record) {
  record = TagRecord{};
  record.title = lastPathComponent(path);
  cutUtf8(record.title, kTagTextMax);
}

}  // namespace

void readTagsFrom(TagSource& source, std::string_view path, TagRecord& record) {
  setDefaults(path, record);
  if (!readId3v2(source, record) && !readId3v1(source, record)) readContainerTags(source, record);
}

bool readTags(const std::string& path, TagRecord& record) {
  FileTagSource file;
  if (!file.open(path)) {
    setDefaults(path, record);
    return false;
  }
  readTagsFrom(file, path, record);
  return true;
}

void readTagsFromBytes(std::span<const uint8_t> bytes, std::string_view path, TagRecord& record) {
  MemoryTagSource memory(bytes);
  readTagsFrom(memory, path, record);
}

}  // namespace tunora::media
