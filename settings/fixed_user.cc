// fixedUserFromDefSet.
#include "settings/fixed_user.h"

namespace tunora {

int32_t fixedUserFromDefSet(const std::array<uint8_t, kDefSetTextSize>& text) {
  if (text[0] != '0') return kNoFixedUser;
  const uint8_t second = text[1];
  if (second == '0') return 9;
  if (second >= '1' && second <= '9') return second - '1';
  return 0;
}

}  // namespace tunora
