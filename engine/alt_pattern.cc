// Alt-mode patterns of users.
#include "engine/alt_pattern.h"

namespace tunora::engine {

int32_t userOfPatternCharacter(char c) {
  const int code = static_cast<unsigned char>(c) & 0x7F;
  if (code >= '1' && code <= '9') return code - '1';
  if (code < '1' || code == ':') return 9;
  return 0;
}

void advanceAltPattern(Settings& settings, uint32_t& position) {
  const int32_t mode = settings.stateValue(settings::kStateAltMode);
  const auto state = static_cast<uint32_t>(settings.get(settings::kCurrentState));
  // Mode m (1..10) uses pattern slot m - 1; any other mode has no pattern.
  const std::string pattern =
      mode >= 1 && mode <= 10
          ? settings.text(settings::kAltPattern, static_cast<uint32_t>(mode - 1))
          : std::string();
  ++position;
  int32_t user = 0;
  if (!pattern.empty()) {
    if (position >= pattern.size()) position = 0;
    user = userOfPatternCharacter(pattern[position]);
  }
  settings.set(settings::kStateUser, state, user);
}

}  // namespace tunora::engine
