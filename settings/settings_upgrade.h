// Bringing a settings record read from an older or unrecognised file up to the current layout.
#pragma once

#include "settings/settings.h"

namespace tunora {

// Results of the version check of a settings file header (settings_file.h); any other value is
// the header's three-digit version as a number.
inline constexpr int kVersionCurrent = 1000;
inline constexpr int kVersionUnrecognised = 1001;

struct UpgradeResult {
  // Below 300: the record cannot be upgraded; the program must tell the user and end.
  bool not_upgradable = false;
  // The welcome dialog is to be shown in upgrade mode.
  bool show_welcome = false;
  // Versions 300..399: "Playlist.m3u" in the data directory is to be copied over "PL1.m3u".
  bool copy_old_playlist = false;
};

// Applies the upgrade for `version` (a version check result) to a record whose 7000 bytes have
// been read:
//   1000 (current): nothing;
//   400: the buffer on with size 150, no update queue, normal auto-rate speed, auto-rate and
//        shutdown off;
//   300..399: the state reset, then state 0 takes the old single user, naughty limit, minimum
//        rating and "No Art Rep" words;
//   1001 (unrecognised) and above 401: the state reset and the welcome dialog;
//   below 300: nothing changes; the result says it cannot be upgraded.
UpgradeResult upgradeSettings(Settings& settings, int version);

}  // namespace tunora
