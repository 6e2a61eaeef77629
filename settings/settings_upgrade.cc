// Upgrades of settings records written by older versions.
#include "settings/settings_upgrade.h"

#include "settings/settings_defaults.h"

namespace tunora {

using namespace settings;

UpgradeResult upgradeSettings(Settings& s, int version) {
  UpgradeResult result;
  if (version == kVersionCurrent) return result;
  if (version == kVersionUnrecognised || version > 401) {
    resetStates(s);
    result.show_welcome = true;
    return result;
  }
  if (version == 400) {
    s.set(kBuffer, 1);
    s.set(kBufferSize, 150);
    s.set(kEditQueueCount, -1);
    s.set(kArSpeed, 1);
    s.set(kAutoRate, 0);
    s.set(kShutdown, 0);
    return result;
  }
  if (version >= 300 && version <= 399) {
    // Version 3xx kept one user and one set of limits; they become state 0's. Read them before
    // the state reset, which does not touch their words anyway.
    const int32_t naughty = s.get(kOldNaughtyLimit);
    const int32_t min_rating = s.get(kOldMinRating);
    const int32_t user = s.get(kOldCurrentUser);
    const int32_t no_art_rep = s.get(kOldNoArtRep);
    resetStates(s);
    s.set(kStateNaughtyLimit, 0, naughty);
    s.set(kStateMinRating, 0, min_rating);
    s.set(kStateUser, 0, user);
    s.set(kStateNoArtRep, 0, no_art_rep);
    result.copy_old_playlist = true;
    return result;
  }
  // 401 never reaches here (its check result is 1000); what is left is below 300.
  result.not_upgradable = version < 300;
  return result;
}

}  // namespace tunora
