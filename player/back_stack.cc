// The back stack in the settings record.
#include "player/back_stack.h"

namespace tunora::player {

int32_t backStackTop(const Settings& settings) { return settings.get(settings::kBackStack, 0); }

void pushBackStack(Settings& settings, int32_t slot) {
  for (uint32_t i = kBackStackSize - 1; i > 0; --i) {
    settings.set(settings::kBackStack, i, settings.get(settings::kBackStack, i - 1));
  }
  settings.set(settings::kBackStack, 0, slot);
}

int32_t popBackStack(Settings& settings) {
  const int32_t top = backStackTop(settings);
  for (uint32_t i = 0; i + 1 < kBackStackSize; ++i) {
    settings.set(settings::kBackStack, i, settings.get(settings::kBackStack, i + 1));
  }
  settings.set(settings::kBackStack, kBackStackSize - 1, -1);
  return top;
}

}  // namespace tunora::player
