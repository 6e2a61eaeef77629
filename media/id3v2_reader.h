// Reader of the ID3v2 tag (versions 2.2, 2.3 and 2.4) at the start of a media file.
#pragma once

#include "media/tag_record.h"
#include "media/tag_source.h"

namespace tunora::media {

// Reads the title, artist, album, year and comment of the ID3v2 tag that starts the source into
// record, leaving the fields the tag does not give as they were. Returns false, with record
// untouched, when the source does not start with a well-formed ID3v2 header of version 2, 3 or
// 4. A damaged tag body ends the reading with what was read so far; nothing is read outside the
// source, and at most a bounded amount of memory is used whatever the sizes in the tag say.
bool readId3v2(TagSource& source, TagRecord& record);

}  // namespace tunora::media
