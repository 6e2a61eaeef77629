// The media filler window's form and the filler block.
#include "filler/filler_form.h"

#include "settings/filler_layout.h"

namespace tunora::filler {
namespace {

constexpr std::array<settings::IntField, kTypeBoxes> kTypeFields = {
    settings::kFillPlayMp3,  settings::kFillPlayAvi,  settings::kFillPlayWav,
    settings::kFillPlayMpeg, settings::kFillPlayMidi, settings::kFillPlayWma,
    settings::kFillPlayAsf,  settings::kFillPlayWmv};

int32_t inRange(int32_t value, int32_t highest, int32_t fallback) {
  return value >= 0 && value <= highest ? value : fallback;
}

}  // namespace

FillerForm fillerFormOf(const Settings& s) {
  FillerForm form;
  form.size_index =
      inRange(s.get(settings::kFillSizeIndex), static_cast<int32_t>(kFillSizeNames.size()) - 1,
              settings::kFillSizeDefault);
  for (int i = 0; i < kTypeBoxes; ++i) form.types[i] = s.get(kTypeFields[i]) != 0;
  form.all = s.get(settings::kFillPlayAll) != 0;
  form.naughty_limit = inRange(s.get(settings::kFillNaughtyLimit),
                               static_cast<int32_t>(kNaughtyNames.size()) - 1, 0);
  form.min_rating = inRange(s.get(settings::kFillMinRating), kHighestMinRating, 0);
  form.user = inRange(s.get(settings::kFillUser), 9, 0);
  form.alt_mode = inRange(s.get(settings::kFillAltMode), 9, 0);
  form.empty_dir = s.get(settings::kFillEmptyDir) != 0;
  form.add_number = s.get(settings::kFillAddNumber) != 0;
  form.output_dir = s.text(settings::kFillOutputDir);
  return form;
}

void storeFillerForm(const FillerForm& form, Settings& s) {
  s.set(settings::kFillSizeIndex, form.size_index);
  for (int i = 0; i < kTypeBoxes; ++i) s.set(kTypeFields[i], form.types[i] ? 1 : 0);
  s.set(settings::kFillPlayAll, form.all ? 1 : 0);
  s.set(settings::kFillNaughtyLimit, form.naughty_limit);
  s.set(settings::kFillMinRating, form.min_rating);
  s.set(settings::kFillUser, form.user);
  s.set(settings::kFillAltMode, form.alt_mode);
  s.set(settings::kFillEmptyDir, form.empty_dir ? 1 : 0);
  s.set(settings::kFillAddNumber, form.add_number ? 1 : 0);
  s.setText(settings::kFillOutputDir, form.output_dir);
}

std::optional<std::string> droppedOutputFolder(const std::string& path, bool is_folder) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!is_folder || folder.empty()) return std::nullopt;
  const size_t slash = folder.find_last_of('/');
  const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
  if (name.find('.') != std::string::npos) return std::nullopt;
  return folder;
}

std::optional<std::string> outputFolderRefusal(const std::string& folder) {
  if (folder.empty()) return std::string("No output folder is given");
  if (folder[0] != '/') return folder + ": the output folder must be a full path (from \"/\")";
  return std::nullopt;
}

}  // namespace tunora::filler
