// The byte layout of the 7000-byte settings record: every named field at its offset.
//
// Integers are 32-bit little-endian; texts are NUL-terminated single-byte strings in fixed slots.
// Offsets not named here hold nothing the program reads; they are kept as loaded. The filler's
// own 1000-byte block (offset 5778) has its fields in filler_layout.h.
#pragma once

#include <cstdint>

namespace tunora::settings {

inline constexpr uint32_t kRecordSize = 7000;

// Field descriptors. Offsets are into the record image.
struct IntField {
  uint32_t offset;
};
struct IntArrayField {
  uint32_t offset;
  uint32_t count;
};
struct TextField {
  uint32_t offset;
  uint32_t size;  // slot size, NUL included
};
struct TextArrayField {
  uint32_t offset;
  uint32_t count;
  uint32_t size;  // size of one slot
};

constexpr uint32_t endOf(IntField f) { return f.offset + 4; }
constexpr uint32_t endOf(IntArrayField f) { return f.offset + 4 * f.count; }
constexpr uint32_t endOf(TextField f) { return f.offset + f.size; }
constexpr uint32_t endOf(TextArrayField f) { return f.offset + f.count * f.size; }

inline constexpr uint32_t kUsers = 10;
inline constexpr uint32_t kStates = 10;
inline constexpr uint32_t kNameSize = 50;
inline constexpr uint32_t kPathSize = 600;

inline constexpr IntField kCoverArt{0};
inline constexpr IntField kCurrentState{4};
inline constexpr IntField kListSize{8};
inline constexpr IntField kPlayAll{12};
inline constexpr IntField kMaximized{16};
inline constexpr IntField kOnTop{20};
inline constexpr IntField kFullMovie{24};
inline constexpr IntField kTray{28};
inline constexpr TextField kDatabasePath{32, kPathSize};
inline constexpr IntField kUpperRightView{632};
inline constexpr IntField kDbFunction{636};
inline constexpr IntField kLastCopyCount{640};
inline constexpr IntField kOldCurrentUser{652};  // version 3xx only; read by the upgrade
inline constexpr IntField kAutoPlay{660};
inline constexpr IntField kAutoMini{664};
inline constexpr IntField kPlayMp3{672};
inline constexpr IntField kPlayAvi{676};
inline constexpr IntField kPlayWav{680};
inline constexpr IntField kPlayMpeg{684};
inline constexpr IntField kPlayMidi{688};
inline constexpr IntField kPlayWma{692};
inline constexpr IntField kPlayAsf{696};
inline constexpr IntField kPlayWmv{700};
inline constexpr IntField kOldNaughtyLimit{728};  // version 3xx only
inline constexpr IntArrayField kColumnWidth{732, 5};
inline constexpr TextArrayField kUserName{764, kUsers, kNameSize};
inline constexpr TextArrayField kAltName{1264, 10, kNameSize};
inline constexpr TextArrayField kAltPattern{1814, 10, kNameSize};
inline constexpr IntArrayField kRatingValue{2314, 10};
inline constexpr IntField kTargetValue{2354};
inline constexpr IntField kDefaultImport{2358};
inline constexpr IntField kDirToId{2366};
inline constexpr IntField kOldMinRating{2370};  // version 3xx only
inline constexpr IntField kOldNoArtRep{2374};   // version 3xx only
inline constexpr IntArrayField kBackStack{2378, 10};
inline constexpr IntArrayField kRecentDraws{2418, 10};
inline constexpr IntArrayField kSongHistory{2458, 100};
inline constexpr TextArrayField kArtistMemory{2858, 20, 70};
// The main window's placement as eleven 32-bit words: the placement record's length, flags,
// show command, minimised x/y, maximised x/y, normal left/top/right/bottom.
inline constexpr IntArrayField kWindowPlacement{4298, 11};
inline constexpr IntField kNetwork{4346};
inline constexpr IntField kBuildTime{4350};
inline constexpr IntField kLowerLeftView{4354};
inline constexpr IntField kAutoBuild{4358};
inline constexpr IntField kMarkVid{4362};
inline constexpr TextField kImportSource{4366, kPathSize};
inline constexpr IntField kLameCheck{4966};
inline constexpr IntField kShowRate{4970};
inline constexpr TextArrayField kStateName{4974, kStates, kNameSize};
inline constexpr IntArrayField kStateUser{5474, kStates};
inline constexpr IntArrayField kStateAltMode{5514, kStates};
inline constexpr IntArrayField kStateNaughtyLimit{5554, kStates};
inline constexpr IntArrayField kStateMinRating{5594, kStates};
inline constexpr IntArrayField kStateNoArtRep{5634, kStates};
inline constexpr IntArrayField kStateHistory{5674, kStates};
inline constexpr IntField kBuffer{5714};
inline constexpr IntField kBufferSize{5718};
inline constexpr IntField kEditQueueCount{5722};
inline constexpr IntField kAutoRate{5726};
inline constexpr IntField kShutdown{5730};
inline constexpr IntField kHashStat{5734};
inline constexpr IntField kArSpeed{5738};
inline constexpr IntField kSizeCheck{5742};
inline constexpr IntField kPlayM4a{5746};

// The media filler's block, also saved alone in "dTnFill.dat".
inline constexpr uint32_t kFillerBlockOffset = 5778;
inline constexpr uint32_t kFillerBlockSize = 1000;
// The buffer level of the local song buffer (0 or 100). It lies inside the filler block, at a
// block offset the filler itself does not use.
inline constexpr IntField kBufferLevel{kFillerBlockOffset + 684};

// Runs of fields that follow each other without a gap; a wrong width or offset above breaks one.
static_assert(endOf(kTray) == kDatabasePath.offset);
static_assert(endOf(kDatabasePath) == kUpperRightView.offset);
static_assert(endOf(kPlayMp3) == kPlayAvi.offset && endOf(kPlayWma) == kPlayAsf.offset);
static_assert(endOf(kUserName) == kAltName.offset);
static_assert(endOf(kAltName) + kNameSize == kAltPattern.offset);  // one unused name slot
static_assert(endOf(kAltPattern) == kRatingValue.offset);
static_assert(endOf(kRatingValue) == kTargetValue.offset);
static_assert(endOf(kOldNoArtRep) == kBackStack.offset);
static_assert(endOf(kBackStack) == kRecentDraws.offset);
static_assert(endOf(kRecentDraws) == kSongHistory.offset);
static_assert(endOf(kSongHistory) == kArtistMemory.offset);
static_assert(endOf(kWindowPlacement) + 4 == kNetwork.offset);
static_assert(endOf(kMarkVid) == kImportSource.offset);
static_assert(endOf(kImportSource) == kLameCheck.offset);
static_assert(endOf(kShowRate) == kStateName.offset);
static_assert(endOf(kStateName) == kStateUser.offset);
static_assert(endOf(kStateUser) == kStateAltMode.offset);
static_assert(endOf(kStateHistory) == kBuffer.offset);
static_assert(endOf(kSizeCheck) == kPlayM4a.offset);
static_assert(endOf(kPlayM4a) <= kFillerBlockOffset);
static_assert(kFillerBlockOffset + kFillerBlockSize <= kRecordSize);

}  // namespace tunora::settings
