// Tags that media containers carry themselves, for files without an ID3 tag: the ASF content
// description of WMA, ASF and WMV files, and the RIFF INFO list (or an "id3 " chunk) of WAV files.
// The containers are parsed by TagLib; this header is the only way the rest of the program
// reaches it.
#pragma once

#include "media/tag_record.h"
#include "media/tag_source.h"

namespace tunora::media {

// When the source is an ASF file or a RIFF WAVE file carrying a tag, sets the record's title,
// artist, album and comment from the texts the tag gives (UTF-8, cut at a character boundary
// to kTagTextMax bytes) and its kind, leaving the other fields as they were. Texts the tag
// lacks or leaves empty keep their defaults. Returns false, record untouched, when the source
// is neither or has no such tag. Reads no more than the source holds, whatever its sizes say.
bool readContainerTags(TagSource& source, TagRecord& record);

}  // namespace tunora::media
