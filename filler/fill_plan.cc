// The media filler's budgets, names and titles.
#include "filler/fill_plan.h"

#include <array>
#include <cstdio>

#include "settings/filler_layout.h"

namespace tunora::filler {

std::optional<int64_t> fillBudgetUnits(int32_t size_index) {
  static constexpr std::array<int64_t, 7> kBudgets = {122880,  245760,  491520, 972800,
                                                      1945600, 3891200, 7782400};
  if (size_index < 0 || size_index >= static_cast<int32_t>(kBudgets.size())) return std::nullopt;
  return kBudgets[static_cast<size_t>(size_index)];
}

std::optional<int32_t> fillSizeIndexOf(const std::string& text) {
  static constexpr std::array<const char*, 8> kNames = {"128MB", "256MB", "512MB", "1GB",
                                                        "2GB",   "4GB",   "8GB",   "fill"};
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (text == kNames[i]) return static_cast<int32_t>(i);
  }
  return std::nullopt;
}

std::string fillTargetName(const std::string& song_path, bool add_number, int32_t number) {
  const size_t slash = song_path.find_last_of('/');
  std::string name = slash == std::string::npos ? song_path : song_path.substr(slash + 1);
  if (!add_number) return name;
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d ", number);
  return digits + name;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string fillProgressTitle(int64_t remaining_units, const std::string& name) {
  return std::to_string(remaining_units / 1024) + "MB to go, " + name;
}

void applyFillChoices(Settings& s) {
  using namespace settings;
  s.set(kPlayMp3, s.get(kFillPlayMp3));
  s.set(kPlayAvi, s.get(kFillPlayAvi));
  s.set(kPlayWav, s.get(kFillPlayWav));
  s.set(kPlayMpeg, s.get(kFillPlayMpeg));
  s.set(kPlayMidi, s.get(kFillPlayMidi));
  s.set(kPlayWma, s.get(kFillPlayWma));
  s.set(kPlayAsf, s.get(kFillPlayAsf));
  s.set(kPlayWmv, s.get(kFillPlayWmv));
  s.set(kPlayAll, s.get(kFillPlayAll));
  s.set(kStateUser, 0, s.get(kFillUser));
  s.set(kStateAltMode, 0, s.get(kFillAltMode));
  s.set(kStateMinRating, 0, s.get(kFillMinRating));
  s.set(kStateNaughtyLimit, 0, s.get(kFillNaughtyLimit));
  s.set(kCurrentState, 0);
}

}  // namespace tunora::filler
