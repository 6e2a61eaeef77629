// The real Env: the monotonic clock, nanosleep, the wall clock and getrandom().
#include <sys/random.h>

#include <cerrno>
#include <thread>

#include "util/env.h"

namespace tunora {
namespace {

class PosixEnv final : public Env {
 public:
  uint64_t nowMillis() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }

  void sleepFor(std::chrono::milliseconds duration) override {
    std::this_thread::sleep_for(duration);
  }

  uint64_t fileTimeNow() override {
    using namespace std::chrono;
    auto since_unix = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return kFileTimeUnixEpoch + static_cast<uint64_t>(since_unix / 100);
  }

  bool randomBytes(std::span<std::byte> out) override {
    size_t done = 0;
    while (done < out.size()) {
      ssize_t got = getrandom(out.data() + done, out.size() - done, 0);
      if (got < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += static_cast<size_t>(got);
    }
    return true;
  }
};

}  // namespace

Env& Env::Default() {
  // Stateless, so sharing one instance is safe; it is never destroyed.
  static PosixEnv* env = new PosixEnv;
  return *env;
}

}  // namespace tunora
