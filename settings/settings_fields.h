// The named fields of the settings record as a table, in record order, for tools that show or
// check every field (tunora-cli "settings show"). Checked at compile time: the fields of each
// table are in offset order, do not overlap and lie inside their block.
#pragma once

#include <array>
#include <cstdint>

#include "settings/filler_layout.h"
#include "settings/settings_layout.h"

namespace tunora::settings {

enum class FieldKind { kInt, kIntArray, kText, kTextArray };

struct FieldInfo {
  const char* name;
  FieldKind kind;
  uint32_t offset;
  uint32_t count;  // 1 for single fields
  uint32_t size;   // bytes of one element

  constexpr uint32_t end() const { return offset + count * size; }
};

constexpr FieldInfo info(const char* name, IntField f) {
  return {name, FieldKind::kInt, f.offset, 1, 4};
}
constexpr FieldInfo info(const char* name, IntArrayField f) {
  return {name, FieldKind::kIntArray, f.offset, f.count, 4};
}
constexpr FieldInfo info(const char* name, TextField f) {
  return {name, FieldKind::kText, f.offset, 1, f.size};
}
constexpr FieldInfo info(const char* name, TextArrayField f) {
  return {name, FieldKind::kTextArray, f.offset, f.count, f.size};
}

// The fields before the filler block. The three words that only the upgrade of version 3xx
// files reads have no name of their own and are not listed.
inline constexpr std::array kSettingsFields = {
    info("CoverArt", kCoverArt),
    info("CurrentState", kCurrentState),
    info("ListSize", kListSize),
    info("PlayAll", kPlayAll),
    info("Maximized", kMaximized),
    info("OnTop", kOnTop),
    info("FullMovie", kFullMovie),
    info("Tray", kTray),
    info("DatabasePath", kDatabasePath),
    info("UpperRightView", kUpperRightView),
    info("DbFunction", kDbFunction),
    info("LastCopyCount", kLastCopyCount),
    info("AutoPlay", kAutoPlay),
    info("AutoMini", kAutoMini),
    info("PlayMp3", kPlayMp3),
    info("PlayAvi", kPlayAvi),
    info("PlayWav", kPlayWav),
    info("PlayMpeg", kPlayMpeg),
    info("PlayMidi", kPlayMidi),
    info("PlayWma", kPlayWma),
    info("PlayAsf", kPlayAsf),
    info("PlayWmv", kPlayWmv),
    info("ColumnWidth", kColumnWidth),
    info("UserName", kUserName),
    info("AltName", kAltName),
    info("AltPattern", kAltPattern),
    info("RatingValue", kRatingValue),
    info("TargetValue", kTargetValue),
    info("DefaultImport", kDefaultImport),
    info("DirToId", kDirToId),
    info("BackStack", kBackStack),
    info("RecentDraws", kRecentDraws),
    info("SongHistory", kSongHistory),
    info("ArtistMemory", kArtistMemory),
    info("WindowPlacement", kWindowPlacement),
    info("Network", kNetwork),
    info("BuildTime", kBuildTime),
    info("LowerLeftView", kLowerLeftView),
    info("AutoBuild", kAutoBuild),
    info("MarkVid", kMarkVid),
    info("ImportSource", kImportSource),
    info("LameCheck", kLameCheck),
    info("ShowRate", kShowRate),
    info("StateName", kStateName),
    info("StateUser", kStateUser),
    info("StateAltMode", kStateAltMode),
    info("StateNaughtyLimit", kStateNaughtyLimit),
    info("StateMinRating", kStateMinRating),
    info("StateNoArtRep", kStateNoArtRep),
    info("StateHistory", kStateHistory),
    info("Buffer", kBuffer),
    info("BufferSize", kBufferSize),
    info("EditQueueCount", kEditQueueCount),
    info("AutoRate", kAutoRate),
    info("Shutdown", kShutdown),
    info("HashStat", kHashStat),
    info("ArSpeed", kArSpeed),
    info("SizeCheck", kSizeCheck),
    info("PlayM4a", kPlayM4a),
};

// The fields of the filler block, the player's buffer level included.
inline constexpr std::array kFillerFields = {
    info("FillSize", kFillSizeIndex),
    info("PlayMp3", kFillPlayMp3),
    info("PlayAvi", kFillPlayAvi),
    info("PlayWav", kFillPlayWav),
    info("PlayMpeg", kFillPlayMpeg),
    info("PlayMidi", kFillPlayMidi),
    info("PlayWma", kFillPlayWma),
    info("PlayAsf", kFillPlayAsf),
    info("PlayWmv", kFillPlayWmv),
    info("PlayAll", kFillPlayAll),
    info("NaughtyLimit", kFillNaughtyLimit),
    info("MinRating", kFillMinRating),
    info("User", kFillUser),
    info("AltMode", kFillAltMode),
    info("EmptyDir", kFillEmptyDir),
    info("AddNumber", kFillAddNumber),
    info("OutputDir", kFillOutputDir),
    info("BufferLevel", kBufferLevel),
};

template <size_t N>
constexpr bool orderedWithin(const std::array<FieldInfo, N>& fields, uint32_t begin, uint32_t end) {
  uint32_t at = begin;
  for (const FieldInfo& f : fields) {
    if (f.offset < at || f.end() > end || f.count == 0) return false;
    at = f.end();
  }
  return true;
}

static_assert(orderedWithin(kSettingsFields, 0, kFillerBlockOffset));
static_assert(orderedWithin(kFillerFields, kFillerBlockOffset,
                            kFillerBlockOffset + kFillerBlockSize));

}  // namespace tunora::settings
