// The terminal of tunora-cli play: keys read one at a time without echo, and SIGINT and SIGTERM
// turned into a quit key (through a signalfd, so no handler runs). Restores the terminal and
// the signal mask when destroyed.
#pragma once

#include <signal.h>
#include <termios.h>

#include <chrono>

namespace tunora::cli {

class PlayTerminal {
 public:
  PlayTerminal();
  ~PlayTerminal();
  PlayTerminal(const PlayTerminal&) = delete;
  PlayTerminal& operator=(const PlayTerminal&) = delete;

  // The next key pressed within `wait`, 'q' for SIGINT or SIGTERM, 0 for none (also at the end
  // of standard input, after which keys are no longer read).
  char nextKey(std::chrono::milliseconds wait);

 private:
  bool raw_ = false;
  bool input_open_ = true;
  termios saved_{};
  sigset_t saved_mask_{};
  int signal_fd_ = -1;
};

}  // namespace tunora::cli
