// The four status-bar texts as tunora-cli play shows them, composed from the program's words:
// what the program does, the songs prepared, the library's entries, the listener.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/settings.h"

namespace tunora::cli {

struct StatusInputs {
  int32_t request_word = 0;
  bool building = false;
  bool playing = false;
  int32_t songs_prepared = 0;
  int32_t build_request = 0;
  int32_t live_records = 0;
  bool writer_running = false;
  int32_t fixed_user = 999;
};

// "Tunora Quiting" / "Tunora Building" / "Tunora Playing" / "Tunora Ready"; "N songs prepared"
// (empty with the 9999 marker: the text stays as it was); "DB Offline" or "N entries" with
// " (Clearing Cache)" while the update writer runs; "User NAME", the alt mode and the edit lock.
std::array<std::string, 4> statusTexts(const StatusInputs& in, const Settings& settings);

}  // namespace tunora::cli
