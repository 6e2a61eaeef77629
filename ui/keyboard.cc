// The main window's keyboard table.
#include "ui/keyboard.h"

#include "engine/supervisor.h"
#include "ui/command_numbers.h"

namespace tunora::ui {

namespace {

int32_t commandOfKey(int32_t key) {
  switch (key) {
    case kKeyF1:
      return kCmdHelp;
    case 'P':
    case kKeyMediaPlay:
      return kCmdPlay;
    case 'S':
      return kCmdSkip;
    case 'R':
      return kCmdRestart;
    case 'B':
      return kCmdPlayLast;
    case 'F':
      return kCmdPlayBack;
    case 'O':
      return kCmdOptions;
    default:
      return 0;
  }
}

// A digit in an open window; false when neither window is open.
bool digit(int32_t value, engine::SharedWords& words, Settings& settings) {
  const auto state = static_cast<uint32_t>(settings.get(settings::kCurrentState));
  if (words.user_digit_counter.load() > 0) {
    settings.set(settings::kStateUser, state, value == 0 ? 9 : value - 1);
    settings.set(settings::kStateAltMode, state, 0);
    return true;
  }
  if (words.alt_digit_counter.load() > 0) {
    // Alt modes are 1..9; 0 turns the alt mode off and leaves the user.
    settings.set(settings::kStateAltMode, state, value);
    if (value != 0) settings.set(settings::kStateUser, state, 0);
    return true;
  }
  return false;
}

}  // namespace

KeyOutcome handleKey(int32_t key, engine::SharedWords& words, Settings& settings,
                     engine::StatusMessage& status) {
  KeyOutcome outcome;
  if (const int32_t command = commandOfKey(key); command != 0) {
    outcome.handled = true;
    outcome.command = command;
    return outcome;
  }
  switch (key) {
    case 'U':
      words.user_digit_counter.store(engine::kDigitWindowTicks);
      words.alt_digit_counter.store(0);
      outcome.handled = true;
      break;
    case 'A':
      words.alt_digit_counter.store(engine::kDigitWindowTicks);
      words.user_digit_counter.store(0);
      outcome.handled = true;
      break;
    case 'C':
      settings.set(settings::kCoverArt, settings.get(settings::kCoverArt) != 0 ? 0 : 1);
      outcome.handled = true;
      break;
    case 'M':
      outcome.show_menu = true;
      outcome.handled = true;
      break;
    default:
      if (key >= '0' && key <= '9' && digit(key - '0', words, settings)) {
        status.refresh();
        outcome.handled = true;
      }
      break;
  }
  return outcome;
}

}  // namespace tunora::ui
