// Tag reading: the title, artist, album, comment and year of a media file (and, where an ID3 tag
// gives them, its track number and genre), from its ID3v2 tag or, when it has none, its ID3v1
// tag, or, without either, the tag its container carries (ASF content description, RIFF INFO).
// Re-entrant: each call fills the caller's own record.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "media/tag_record.h"
#include "media/tag_source.h"

namespace tunora::media {

// Fills record from the file at path. The record first gets its defaults: the title is
// lastPathComponent(path), the other texts "No Data". Returns false when the file cannot be
// opened (or is not a regular file); the record then holds the defaults.
bool readTags(const std::string& path, TagRecord& record);

// The same over any source; path only gives the default title.
void readTagsFrom(TagSource& source, std::string_view path, TagRecord& record);

// The same over bytes in memory.
void readTagsFromBytes(std::span<const uint8_t> bytes, std::string_view path, TagRecord& record);

}  // namespace tunora::media
