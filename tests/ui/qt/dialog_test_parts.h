// The dialogs' parts over a test's program object: its lock, settings, library, lists and
// threads, with the test's Env, player state, message dialog and command channel.
#pragma once

#include "app/program.h"
#include "ui/qt/dialog_parts.h"

namespace tunora::ui::qt {

inline DialogParts dialogPartsOf(Program& program, Env& env, player::PlayerState& player,
                                 MessageDialog& dialog, engine::WindowChannel& channel) {
  return DialogParts{env,
                     program.lock(),
                     program.settings(),
                     program.library(),
                     program.playList(),
                     program.status(),
                     player,
                     program.context(),
                     program.threads(),
                     program.builder(),
                     program.stateSwitcher(),
                     dialog,
                     channel,
                     program.buffering(),
                     program.updateWriter(),
                     program.updateQueue()};
}

inline DialogSources dialogSourcesOf(Program& program, Env& env) {
  return DialogSources{env,
                       program.library(),
                       program.threads(),
                       program.builder(),
                       program.stateSwitcher(),
                       program.buffering()};
}

}  // namespace tunora::ui::qt
