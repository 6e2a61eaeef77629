// The window-less part of start-up.
#include "app/start_up.h"

#include "app/command_line.h"
#include "app/startup_load.h"
#include "settings/fixed_user.h"
#include "util/stale_temp_files.h"

namespace tunora {

StartUpOutcome startUp(const StartUpInputs& inputs, AppContext& context, Settings& settings) {
  const StartOptions options = readStartOptions(inputs.command_line);

  const Directories dirs = findDirectories(inputs.probe);
  context.program_directory = dirs.program;
  context.data_directory = dirs.data;
  context.defset_text = dirs.defset_text;

  // One player at a time, whatever its arguments; the media filler runs beside it.
  if (!options.filler) {
    InstanceLockResult lock = takeInstanceLock(*inputs.env, inputs.lock_path, inputs.hand_over);
    if (lock.handed_over) return StartUpOutcome::kHandedOver;
    if (lock.end_program) return StartUpOutcome::kAnotherPlayerRunning;
    context.instance_lock = std::move(lock.lock);
  }
  // Saves cut short by a kill (settings, play lists) leave their temporary files behind.
  (void)removeStaleTempFiles(context.data_directory);

  const StartupLoadResult load =
      loadSettingsAndLibrary(context, settings, *inputs.library, *inputs.dialog, *inputs.welcome);
  if (load.end_program) return StartUpOutcome::kEndProgram;

  context.play_on_start = settings.get(settings::kAutoPlay) != 0 ? 1 : 0;
  context.fixed_user = fixedUserFromDefSet(context.defset_text);
  context.last_added_path = engine::kInitialLastAddedPath;
  if (options.filler) {
    context.quit = true;
    return StartUpOutcome::kRunFiller;
  }
  if (options.play_on_start) context.play_on_start = 1;
  return StartUpOutcome::kRunMainWindow;
}

}  // namespace tunora
