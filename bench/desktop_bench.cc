// Desktop benchmark: the real tunora on a 100,000-song library (generated as builder_bench makes
// it). Measures the time from starting the process to the window's first painted frame, the longest
// stall of the window's event loop while the builder fills the list, and the largest anonymous
// memory (RssAnon) of the process. Needs a display (run it under xvfb-run) and tunora built
// beside it. Usage: desktop_bench [songs]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_library.h"
#include "settings/settings_defaults.h"
#include "settings/settings_file.h"

extern char** environ;

using namespace tunora;

namespace {

int64_t monotonicMillis() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int64_t rssAnonKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) return std::stoll(line.substr(8));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t songs = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 100000;
  const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
  const std::string tunora = (self.parent_path().parent_path() / "tunora").string();
  const std::string root = "/tmp/tunora-desktop-bench";
  std::filesystem::remove_all(root);
  const std::string data = root + "/data/Pellan/Tunora/";
  std::filesystem::create_directories(data);
  std::filesystem::create_directories(root + "/run");
  std::filesystem::permissions(root + "/run", std::filesystem::perms::owner_all);
  std::printf("generating %u songs ...\n", songs);
  if (!bench::buildLibrary(data + "Tunora.mbf", songs)) return 1;
  Settings settings;
  resetAll(settings);
  resetRatingValues(settings);
  settings.setText(settings::kDatabasePath, data + "Tunora.mbf");
  if (!writeSettingsFile(data + "dTunora.dat", settings).ok()) return 1;

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return 1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<std::string> env_text = {
      "XDG_DATA_HOME=" + root + "/data", "XDG_RUNTIME_DIR=" + root + "/run",
      "XDG_CACHE_HOME=" + root + "/cache", "TUNORA_TRACE=1", "TUNORA_AUDIO_SINK=fakesink"};
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("XDG_", 0) != 0) env_text.push_back(entry);
  }
  std::vector<char*> env;
  for (auto& e : env_text) env.push_back(e.data());
  env.push_back(nullptr);
  // Not playing: the made-up files cannot play, and the player would take each song off the
  // list; the builder fills the list by itself.
  std::string arg0 = tunora;
  char* args[] = {arg0.data(), nullptr};
  const int64_t started = monotonicMillis();
  pid_t pid = 0;
  if (posix_spawn(&pid, tunora.c_str(), &actions, nullptr, args, env.data()) != 0) {
    std::fprintf(stderr, "cannot start %s\n", tunora.c_str());
    return 1;
  }
  close(pipe_fds[1]);

  // Read the trace on a thread; sample RssAnon here.
  std::string trace;
  std::mutex mu;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
      std::lock_guard lock(mu);
      trace.append(buffer, static_cast<size_t>(n));
    }
  });
  int64_t max_rss = 0;
  bool building_seen = false, built = false;
  // The builder's pace is its own (a pass per supervisor tick at most); 40 seconds of building
  // are enough to see the window's stalls.
  const int64_t deadline = started + 40000;
  while (monotonicMillis() < deadline && !built) {
    max_rss = std::max(max_rss, rssAnonKb(pid));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::lock_guard lock(mu);
    if (trace.find("Tunora Building") != std::string::npos) building_seen = true;
    // The list is full when the count of prepared songs reaches ListSize.
    built = building_seen && trace.find(std::to_string(settings.get(settings::kListSize)) +
                                        " songs prepared") != std::string::npos;
  }
  const int64_t build_ms = monotonicMillis() - started;
  for (int i = 0; i < 20; ++i) {  // a second of playing (or failing to: the files are made up)
    max_rss = std::max(max_rss, rssAnonKb(pid));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  reader.join();
  close(pipe_fds[0]);

  long long first_paint = -1, stall = -1;
  for (size_t at = 0; at < trace.size();) {
    const size_t end = trace.find('\n', at);
    const std::string line = trace.substr(at, end == std::string::npos ? end : end - at);
    std::sscanf(line.c_str(), "tunora: first paint at %lld ms", &first_paint);
    std::sscanf(line.c_str(), "tunora: longest event-loop stall %lld ms", &stall);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  int prepared = 0;
  for (size_t at = trace.rfind(" songs prepared"); at != std::string::npos && at > 0;) {
    size_t begin = trace.rfind("| ", at);
    if (begin != std::string::npos) prepared = std::atoi(trace.c_str() + begin + 2);
    break;
  }
  std::printf("library: %u songs; %d of %d songs prepared after %lld ms (%s)\n", songs, prepared,
              settings.get(settings::kListSize), static_cast<long long>(build_ms),
              built ? "list full" : "still building");
  std::printf("process start to first painted window: %lld ms (goal < 500)\n",
              first_paint < 0 ? -1 : first_paint - started);
  std::printf("longest event-loop stall while building: %lld ms (goal <= 16)\n", stall);
  std::printf("largest RssAnon: %.1f MB (goal < 80)\n", static_cast<double>(max_rss) / 1024);
  std::printf("exit status: %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  std::ofstream("/tmp/tunora-desktop-bench.log") << trace;
  std::filesystem::remove_all(root);
  return 0;
}
