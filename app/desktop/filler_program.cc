// The media filler instance.
#include "app/desktop/filler_program.h"

#include <cstdlib>
#include <string>

#include "filler/fill_files.h"
#include "filler/fill_plan.h"
#include "settings/filler_settings_file.h"

namespace tunora {

int runFillerProgram(Program& program, ui::qt::Desktop& desktop, bool trace) {
  AppContext& context = program.context();
  // The filler is not a player: a player started while it is open runs at once.
  context.instance_lock = InstanceLock();
  const std::string data_dir = context.data_directory;
  program.setDataDirectory(data_dir);
  // The filler keeps its own local copy of a network library; the player's "Local.mbf" is
  // never touched from here.
  context.local_copy_path = data_dir + filler::kFillMbfName;
  (void)loadFillerSettings(data_dir, program.settings());
  program.setMessageDialog(&desktop.dialog());
  program.words().build_request.store(engine::kBuildIdle);

  filler::PosixFillFiles files;
  const char* home = std::getenv("HOME");
  ui::qt::FillerWindowParts parts{program.settings(),
                                  program.lock(),
                                  program.builder(),
                                  program.library(),
                                  files,
                                  program.threads(),
                                  desktop.dialog(),
                                  program.env(),
                                  &context,
                                  data_dir,
                                  context.program_directory,
                                  home != nullptr && home[0] == '/' ? std::string(home) : ""};
  desktop.closeOnTerminationSignals();
  const int result = desktop.runFiller(parts, trace);
  // The fill was told to stop between two files; wait for it here.
  program.stopThreads();
  program.setMessageDialog(nullptr);
  return result;
}

}  // namespace tunora
