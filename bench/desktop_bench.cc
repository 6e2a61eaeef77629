// Desktop benchmark: the real tunora on generated libraries (as builder_bench makes them) of each
// size given. For each size it measures the time from starting the process to the window's first
// painted frame, the longest stall of the window's event loop while the builder fills the list,
// the pace at which the list fills (songs prepared per second, from the first song on), and the
// largest anonymous memory (RssAnon) and total resident memory of the process. Then it prints each
// figure's ratio to the smallest library's, with the load average of each run.
// Without a display it runs Qt's offscreen platform. Needs tunora built beside it.
// Usage: desktop_bench [--seconds S] [--folder DIR] [songs...]   (default 100000)
// With --folder, each library is kept there as desktop-N.mbf and reused by later runs (the
// program's builder writes credits into it, as it does in any library).
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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

int64_t statusKb(pid_t pid, const char* field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::string key = field;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stoll(line.substr(key.size()));
  }
  return -1;
}

double loadAverage() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

struct Run {
  uint32_t songs = 0;
  double load = 0;
  long long first_paint = -1;  // ms from the start
  long long stall = -1;        // ms
  long long own_stall = -1;    // ms, less the time the window thread only waited for a processor
  int stalls = 0;              // stalls over 16 ms of the second kind
  int prepared = 0;            // songs on the list at the end
  double fill_rate = 0;        // songs a second from the first song on
  long long first_song = -1;   // ms from the start to the first song on the list
  int64_t anon_kb = 0, rss_kb = 0;
  bool ok = false;
};

// A trace line with the time it arrived.
struct Line {
  int64_t at;
  std::string text;
};

// The count in a status line's "N songs prepared", or -1.
int preparedIn(const std::string& line) {
  const size_t end = line.find(" songs prepared");
  if (line.rfind("tunora: status", 0) != 0 || end == std::string::npos) return -1;
  const size_t begin = line.rfind("| ", end);
  return begin == std::string::npos ? -1 : std::atoi(line.c_str() + begin + 2);
}

Run runOnce(const std::string& tunora, const std::string& library, uint32_t songs,
            int64_t seconds) {
  Run run;
  run.songs = songs;
  const std::string root = "/tmp/tunora-desktop-bench";
  std::filesystem::remove_all(root);
  const std::string data = root + "/data/Pellan/Tunora/";
  std::filesystem::create_directories(data);
  std::filesystem::create_directories(root + "/run");
  std::filesystem::permissions(root + "/run", std::filesystem::perms::owner_all);
  Settings settings;
  resetAll(settings);
  resetRatingValues(settings);
  settings.setText(settings::kDatabasePath, library);
  if (!writeSettingsFile(data + "dTunora.dat", settings).ok()) return run;

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<std::string> env_text = {
      "XDG_DATA_HOME=" + root + "/data", "XDG_RUNTIME_DIR=" + root + "/run",
      "XDG_CACHE_HOME=" + root + "/cache", "TUNORA_TRACE=1", "TUNORA_AUDIO_SINK=fakesink"};
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
      std::getenv("QT_QPA_PLATFORM") == nullptr) {
    env_text.push_back("QT_QPA_PLATFORM=offscreen");
  }
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
  run.load = loadAverage();
  const int64_t started = monotonicMillis();
  pid_t pid = 0;
  if (posix_spawn(&pid, tunora.c_str(), &actions, nullptr, args, env.data()) != 0) {
    std::fprintf(stderr, "cannot start %s\n", tunora.c_str());
    return run;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);

  // The trace is read on a thread, each line stamped as it arrives; memory is sampled here.
  std::vector<Line> lines;
  std::mutex mu;
  std::thread reader([&] {
    std::string partial;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
      const int64_t now = monotonicMillis();
      partial.append(buffer, static_cast<size_t>(n));
      std::lock_guard lock(mu);
      for (size_t end; (end = partial.find('\n')) != std::string::npos;) {
        lines.push_back({now, partial.substr(0, end)});
        partial.erase(0, end + 1);
      }
    }
  });
  const int list_size = settings.get(settings::kListSize);
  const int64_t deadline = started + seconds * 1000;
  for (bool full = false; monotonicMillis() < deadline && !full;) {
    run.anon_kb = std::max(run.anon_kb, statusKb(pid, "RssAnon:"));
    run.rss_kb = std::max(run.rss_kb, statusKb(pid, "VmRSS:"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::lock_guard lock(mu);
    for (const Line& line : lines) full = full || preparedIn(line.text) >= list_size;
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  reader.join();
  close(pipe_fds[0]);

  std::ofstream log("/tmp/tunora-desktop-bench-" + std::to_string(songs) + ".log");
  int64_t first_at = -1, last_at = -1;
  int first_count = 0;
  for (const Line& line : lines) {
    log << line.at - started << " " << line.text << "\n";
    long long value = 0;
    if (std::sscanf(line.text.c_str(), "tunora: first paint at %lld ms", &value) == 1) {
      run.first_paint = value - started;
    }
    if (std::sscanf(line.text.c_str(), "tunora: longest event-loop stall %lld ms", &value) == 1) {
      run.stall = value;
    }
    if (std::sscanf(line.text.c_str(),
                    "tunora: longest event-loop stall without the processor wait %lld ms",
                    &value) == 1) {
      run.own_stall = value;
    }
    if (line.text.rfind("tunora: event-loop stall ", 0) == 0) ++run.stalls;
    const int prepared = preparedIn(line.text);
    if (prepared > run.prepared) {
      if (first_at < 0) {
        first_at = line.at;
        first_count = prepared;
      }
      run.prepared = prepared;
      last_at = line.at;
    }
  }
  if (first_at >= 0) run.first_song = first_at - started;
  if (last_at > first_at) {
    run.fill_rate = (run.prepared - first_count) * 1000.0 / static_cast<double>(last_at - first_at);
  }
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::filesystem::remove_all(root);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  int64_t seconds = 60;
  std::string folder;
  std::vector<uint32_t> sizes;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::stoll(argv[++i]);
    } else if (arg == "--folder" && i + 1 < argc) {
      folder = argv[++i];
    } else {
      sizes.push_back(static_cast<uint32_t>(std::stoul(arg)));
    }
  }
  if (sizes.empty()) sizes = {100000};
  const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
  const std::string tunora = (self.parent_path().parent_path() / "tunora").string();
  const bool keep = !folder.empty();
  if (!keep) folder = "/tmp";
  std::vector<Run> runs;
  for (uint32_t songs : sizes) {
    const std::string library = folder + "/desktop-" + std::to_string(songs) + ".mbf";
    struct stat st;
    if (!keep || stat(library.c_str(), &st) != 0) {
      std::printf("generating %s ...\n", library.c_str());
      std::fflush(stdout);
      if (!bench::buildLibrary(library, songs)) return 1;
    }
    std::printf("running on %u songs ...\n", songs);
    std::fflush(stdout);
    runs.push_back(runOnce(tunora, library, songs, seconds));
    if (!keep) {
      std::filesystem::remove(library);
      std::filesystem::remove(library + ".index");
    }
  }
  std::printf("%9s %6s %12s %9s %9s %7s %11s %12s %8s %11s %11s %s\n", "songs", "load",
              "first paint", "stall", "own stall", "stalls", "first song", "fill song/s",
              "prepared", "RssAnon MB", "RSS MB", "exit");
  for (const Run& r : runs) {
    std::printf("%9u %6.2f %9lld ms %6lld ms %6lld ms %7d %8lld ms %12.2f %8d %11.1f %11.1f %s\n",
                r.songs, r.load, r.first_paint, r.stall, r.own_stall, r.stalls, r.first_song,
                r.fill_rate, r.prepared, static_cast<double>(r.anon_kb) / 1024,
                static_cast<double>(r.rss_kb) / 1024, r.ok ? "ok" : "FAILED");
  }
  std::printf(
      "(stall: the longest gap of the window's event loop; own stall: the same less the time the "
      "window thread only waited for a processor; stalls: own stalls over 16 ms)\n");
  const Run& base = runs.front();
  for (const Run& r : runs) {
    std::printf(
        "%u / %u: first paint %.2f, fill pace %.2f (goals: first paint < 500 ms, stall <= "
        "16 ms, pace 1.0)\n",
        r.songs, base.songs,
        base.first_paint > 0 ? static_cast<double>(r.first_paint) / base.first_paint : 0,
        base.fill_rate > 0 ? r.fill_rate / base.fill_rate : 0);
  }
  return 0;
}
