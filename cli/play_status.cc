// Composing the status texts.
#include "cli/play_status.h"

#include "engine/play_list.h"
#include "engine/shared_words.h"

namespace tunora::cli {

std::array<std::string, 4> statusTexts(const StatusInputs& in, const Settings& settings) {
  std::array<std::string, 4> texts;
  texts[0] = in.request_word == 66 ? "Tunora Quiting"
             : in.building         ? "Tunora Building"
             : in.playing          ? "Tunora Playing"
                                   : "Tunora Ready";
  if (in.songs_prepared < kDoNotSavePlayList) {
    texts[1] = std::to_string(in.songs_prepared) + " songs prepared";
  }
  if (in.build_request >= engine::kOfflineStart && in.build_request <= engine::kOfflineLocked) {
    texts[2] = "DB Offline";
  } else {
    texts[2] = std::to_string(in.live_records) + " entries";
    if (in.writer_running) texts[2] += " (Clearing Cache)";
  }
  const auto user = static_cast<uint32_t>(settings.stateValue(settings::kStateUser));
  texts[3] = "User " + settings.text(settings::kUserName, user);
  if (const int32_t alt = settings.stateValue(settings::kStateAltMode); alt != 0) {
    texts[3] += ", " + settings.text(settings::kAltName, static_cast<uint32_t>(alt)) + " Mode";
  }
  if (in.fixed_user != 999) {
    texts[3] += ", Edit locked to " +
                settings.text(settings::kUserName, static_cast<uint32_t>(in.fixed_user));
  }
  return texts;
}

}  // namespace tunora::cli
