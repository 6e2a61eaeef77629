// Default values of the settings record and the rating-value presets.
#include "settings/settings_defaults.h"

#include <array>
#include <string_view>

#include "settings/filler_layout.h"

namespace tunora {

using namespace settings;

namespace {

constexpr std::array<std::string_view, 10> kUserNames = {"One", "Two",   "Three", "Four", "Five",
                                                         "Six", "Seven", "Eight", "Nine", "Ten"};
constexpr std::array<std::string_view, 10> kAltNames = {
    "Single", "Two", "More2", "More1", "Triple", "Trip2", "Trip3", "Lucky", "Evil", "Odd"};
// Alt mode m uses slot m - 1; slot 9 belongs to mode 10, which only the keyboard selects.
constexpr std::array<std::string_view, 10> kAltPatterns = {"12",  "122", "112", "123", "456",
                                                           "789", "777", "666", "135", ""};
constexpr std::array<std::string_view, 10> kStateNames = {
    "Normal", "Loud", "Late", "Kids", "Party", "Pump", "Her", "Him", "Extra1", "Extra2"};
constexpr std::array<int32_t, 5> kColumnWidths = {150, 150, 250, 60, 30};

struct RatingPreset {
  std::array<int32_t, 10> thresholds;
  int32_t target;
  int32_t import_score;
};
constexpr RatingPreset kDefaultPreset = {{1, 2, 4, 8, 16, 32, 64, 128, 256, 512}, 1000, 16};
// Rating 2 is 4 here, not 2.
constexpr RatingPreset kAlternatePreset = {{1, 4, 8, 16, 32, 64, 128, 256, 512, 1024}, 2000, 32};

void applyPreset(Settings& s, const RatingPreset& preset) {
  for (uint32_t k = 0; k < 10; ++k) s.set(kRatingValue, k, preset.thresholds[k]);
  s.set(kTargetValue, preset.target);
  s.set(kDefaultImport, preset.import_score);
}

template <size_t N>
void setNames(Settings& s, TextArrayField field, const std::array<std::string_view, N>& names) {
  for (uint32_t i = 0; i < N; ++i) s.setText(field, i, names[i]);
}

void zeroBlockRange(Settings& s, uint32_t from, uint32_t to) {
  for (uint32_t at = kFillerBlockOffset + from; at < kFillerBlockOffset + to; ++at) {
    if (at >= kBufferLevel.offset && at < endOf(kBufferLevel)) continue;
    const uint8_t zero = 0;
    s.storeBytes(at, std::span(&zero, 1));
  }
}

}  // namespace

void resetAll(Settings& s) {
  s.set(kCoverArt, 1);
  s.set(kCurrentState, 0);
  s.set(kListSize, 100);
  s.set(kPlayAll, 0);
  s.set(kMaximized, 1);
  s.set(kOnTop, 0);
  s.set(kFullMovie, 0);
  s.set(kTray, 1);
  s.set(kUpperRightView, 1);
  s.set(kDbFunction, 0);
  s.set(kAutoPlay, 0);
  s.set(kAutoMini, 0);
  for (IntField f :
       {kPlayMp3, kPlayAvi, kPlayWav, kPlayMpeg, kPlayMidi, kPlayWma, kPlayAsf, kPlayWmv}) {
    s.set(f, 1);
  }
  for (uint32_t i = 0; i < kColumnWidths.size(); ++i) s.set(kColumnWidth, i, kColumnWidths[i]);
  setNames(s, kUserName, kUserNames);
  setNames(s, kAltName, kAltNames);
  setNames(s, kAltPattern, kAltPatterns);
  s.set(kDirToId, 1);
  s.set(kBackStack, 0, -1);
  s.set(kNetwork, 0);
  s.set(kBuildTime, 500);
  s.set(kLowerLeftView, 11);
  s.set(kAutoBuild, 1);
  s.set(kMarkVid, 1);
  s.set(kLameCheck, 0);
  s.set(kShowRate, 1);
  s.set(kStateHistory, 0, 1);
  resetStates(s);
  applyFillerDefaults(s);
}

void resetStates(Settings& s) {
  s.set(kCurrentState, 0);
  s.set(kHashStat, 0);
  setNames(s, kStateName, kStateNames);
  for (uint32_t state = 0; state < kStates; ++state) {
    s.set(kStateNaughtyLimit, state, 0);
    s.set(kStateMinRating, state, 0);
    s.set(kStateUser, state, 0);
    s.set(kStateAltMode, state, 0);
    s.set(kStateNoArtRep, state, 1);
  }
  s.set(kBuffer, 0);
  s.set(kBufferSize, 150);
  s.set(kEditQueueCount, -1);
  s.set(kArSpeed, 1);
  s.set(kAutoRate, 0);
  s.set(kShutdown, 0);
  s.set(kSizeCheck, 1);
  s.set(kPlayM4a, 0);
}

void resetRatingValues(Settings& s) { applyPreset(s, kDefaultPreset); }

void alternateRatingValues(Settings& s) { applyPreset(s, kAlternatePreset); }

void applyFillerDefaults(Settings& s) {
  s.set(kFillSizeIndex, kFillSizeDefault);
  s.set(kFillPlayMp3, s.get(kPlayMp3));
  s.set(kFillPlayAvi, s.get(kPlayAvi));
  s.set(kFillPlayWav, s.get(kPlayWav));
  s.set(kFillPlayMpeg, s.get(kPlayMpeg));
  s.set(kFillPlayMidi, s.get(kPlayMidi));
  s.set(kFillPlayWma, s.get(kPlayWma));
  s.set(kFillPlayAsf, s.get(kPlayAsf));
  s.set(kFillPlayWmv, s.get(kPlayWmv));
  s.set(kFillPlayAll, s.get(kPlayAll));
  s.set(kFillNaughtyLimit, s.get(kStateNaughtyLimit, 0));
  s.set(kFillMinRating, s.get(kStateMinRating, 0));
  s.set(kFillUser, s.get(kStateUser, 0));
  s.set(kFillAltMode, s.get(kStateAltMode, 0));
  s.set(kFillEmptyDir, 0);
  s.set(kFillAddNumber, 1);
  zeroBlockRange(s, kFillUnusedA, kFillUnusedAEnd);
  zeroBlockRange(s, kFillUnusedB, kFillUnusedBEnd);
}

}  // namespace tunora
