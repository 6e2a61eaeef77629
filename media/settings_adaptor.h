// The media settings taken from the program's settings record.
#pragma once

#include "media/media_type.h"
#include "media/song_fill.h"
#include "settings/settings.h"

namespace tunora::media {

// The file-type switches; a stored value other than 0 is on.
MediaSwitches mediaSwitchesOf(const Settings& settings);

// "Dir -> ID", "LAME check" and the file-type switches.
TagOptions tagOptionsOf(const Settings& settings);

}  // namespace tunora::media
