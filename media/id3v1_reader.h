// Reader of the ID3v1 tag in the last 128 bytes of a media file.
#pragma once

#include "media/tag_record.h"
#include "media/tag_source.h"

namespace tunora::media {

// Reads the ID3v1 tag at the end of the source into record. Fields that are empty (or only
// blanks) leave the record's field as it was. False, record untouched, when there is no tag.
bool readId3v1(TagSource& source, TagRecord& record);

}  // namespace tunora::media
