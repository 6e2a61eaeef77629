// The start-up load sequence of the settings and the library.
#include "app/startup_load.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "library/song_table.h"
#include "settings/file_read.h"
#include "settings/settings_defaults.h"
#include "util/atomic_file.h"

namespace tunora {

using namespace settings;

namespace {

// Copies `from` over `to` through a temporary file and a rename, so that a crash leaves the old
// file or the whole copy, never a cut-off one. A source that cannot be read whole (or is larger
// than a picture or a play list has any reason to be) is not copied.
void copyQuietly(const std::string& from, const std::string& to) {
  constexpr uintmax_t kLargestCopy = uintmax_t{64} << 20;
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(from, ec);
  if (ec || size > kLargestCopy) return;
  const std::optional<std::vector<uint8_t>> bytes = readFilePrefix(from, size);
  if (!bytes || bytes->size() != size) return;
  const std::span<const uint8_t> whole(*bytes);
  (void)replaceFile(to, std::span(&whole, 1));
}

// The default cover picture is looked for as "Cover." + jpg, bmp or gif.
void copyDefaultCover(const AppContext& context) {
  if (context.data_directory == context.program_directory) return;
  static constexpr const char* kExtensions[] = {"jpg", "bmp", "gif"};
  for (const char* ext : kExtensions) {
    if (fileExists(context.data_directory + "Cover." + ext)) return;
  }
  for (const char* ext : kExtensions) {
    const std::string source = context.program_directory + "Cover." + ext;
    if (fileExists(source)) {
      copyQuietly(source, context.data_directory + "Cover." + ext);
      return;
    }
  }
}

bool createEmptyLibrary(marlbase::TableHandle& table, const Settings& settings) {
  const bool made = createSongTable(table, settings.text(kDatabasePath));
  table.close();
  return made;
}

}  // namespace

bool applySettingsUpgrade(const AppContext& context, Settings& settings, int version,
                          ui::MessageDialog& dialog, ui::WelcomeDialog& welcome) {
  const UpgradeResult upgrade = upgradeSettings(settings, version);
  if (upgrade.not_upgradable) {
    ui::showError(dialog, kNotUpgradableMessage);
    return false;
  }
  if (upgrade.copy_old_playlist) {
    copyQuietly(context.data_directory + "Playlist.m3u", context.data_directory + "PL1.m3u");
  }
  if (upgrade.show_welcome) welcome.showWelcome(ui::WelcomeMode::kUpgrade);
  return true;
}

StartupLoadResult loadSettingsAndLibrary(AppContext& context, Settings& settings,
                                         engine::LibraryAccess& library, ui::MessageDialog& dialog,
                                         ui::WelcomeDialog& welcome) {
  marlbase::TableHandle& table = library.table();
  StartupLoadResult result;
  result.settings_file = loadSettings(context.data_directory, context.program_directory, settings);
  const int version = result.settings_file.version;

  if (!result.settings_file.found) {
    result.first_run = true;
    resetAll(settings);
    resetRatingValues(settings);
    welcome.showWelcome(ui::WelcomeMode::kFirstRun);
    settings.setText(kDatabasePath, context.data_directory + kLibraryFileName);
    if (!fileExists(settings.text(kDatabasePath))) {
      result.created_library = createEmptyLibrary(table, settings);
    }
  } else {
    if (!applySettingsUpgrade(context, settings, version, dialog, welcome)) {
      result.end_program = true;
      return result;
    }
  }

  context.network_refresh_counter = 200;
  context.local_copy_path = context.data_directory + kLocalCopyFileName;
  library.openLibraryForReading();
  if (!table.isOpen()) result.created_library = createEmptyLibrary(table, settings);
  const bool lost_blank = table.isOpen() && hasSongColumns(table) && !hasBlankFirstRecord(table);
  table.close();
  // A library whose blank first record was removed refuses every import: it is given back.
  if (lost_blank && library.openLibraryForWriting()) {
    result.repair_note = repairBlankFirstRecord(table);
    library.closeLibraryAfterWriting();
    if (!result.repair_note.empty())
      std::fprintf(stderr, "tunora: %s\n", result.repair_note.c_str());
  }

  if (!result.settings_file.found || version != kVersionCurrent) copyDefaultCover(context);

  // Unsigned, so that a negative word from a damaged file is caught as well.
  if (static_cast<uint32_t>(settings.get(kStateUser, 0)) > 9) settings.set(kStateUser, 0, 0);
  if (static_cast<uint32_t>(settings.get(kStateAltMode, 0)) > 9) {
    settings.set(kStateAltMode, 0, 0);
  }
  settings.set(kEditQueueCount, -1);
  settings.set(kSizeCheck, 1);
  return result;
}

}  // namespace tunora
