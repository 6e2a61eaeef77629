// Reader of the ID3v1 tag in the last 128 bytes of a media file.
#pragma once

#include "media/tag_record.h"
#include "media/tag_source.h"

namespace tunora::media {

// Reads the ID3v1 tag at the end of the source into record. A blank (empty or all-blank) artist,
// album or comment is stored as the empty text: the tag is there and says nothing, which is not
// "No Data", so "Dir -> ID" leaves it alone. A blank title or year leaves the record's field as
// it was (the file name, "No Data"). False, record untouched, when there is no tag.
bool readId3v1(TagSource& source, TagRecord& record);

}  // namespace tunora::media
