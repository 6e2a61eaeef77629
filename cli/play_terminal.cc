// Raw keys and quit signals for tunora-cli play.
#include "cli/play_terminal.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tunora::cli {

PlayTerminal::PlayTerminal() {
  if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0) {
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  sigset_t quit;
  sigemptyset(&quit);
  sigaddset(&quit, SIGINT);
  sigaddset(&quit, SIGTERM);
  // Blocked in this thread before the program's threads start, so they inherit the mask and the
  // signals wait in the signalfd.
  pthread_sigmask(SIG_BLOCK, &quit, &saved_mask_);
  signal_fd_ = signalfd(-1, &quit, SFD_CLOEXEC);
}

PlayTerminal::~PlayTerminal() {
  if (raw_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  if (signal_fd_ >= 0) close(signal_fd_);
  pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
}

char PlayTerminal::nextKey(std::chrono::milliseconds wait) {
  pollfd fds[2] = {{signal_fd_, POLLIN, 0}, {input_open_ ? STDIN_FILENO : -1, POLLIN, 0}};
  if (poll(fds, 2, static_cast<int>(wait.count())) <= 0) return 0;
  if ((fds[0].revents & POLLIN) != 0) {
    signalfd_siginfo info;
    (void)read(signal_fd_, &info, sizeof info);
    return 'q';
  }
  if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
    char key = 0;
    if (read(STDIN_FILENO, &key, 1) != 1) {
      input_open_ = false;
      return 0;
    }
    return key;
  }
  return 0;
}

}  // namespace tunora::cli
