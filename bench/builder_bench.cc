// List builder benchmark: building a 100-song list from a generated 100,000-song library
// (realistic scores for 10 users, 5 % of the records deleted, history and artist checks on),
// with the engine's builder beside the plain algorithm (the n-th live record found by a scan
// from slot 0 on every draw, every pass counting all slots as its open does). Both use the same
// seeded random numbers and must pick the same songs. Usage: builder_bench [songs] [picks]
// With a third argument "hogs", the engine's builder instead runs quiet, then beside 2 and beside
// 4 processes that only burn the processor, on the same pristine library each time, and prints
// each wall time and processor time against the quiet one; "hogs-apart" starts the hogs each in a
// session of their own (see startHogs). With "make", it only writes the
// library (with its blank first record live, as a program-made library has) and keeps it.
// A fourth argument names a folder where the generated library is kept and reused by later runs.
// Usage: builder_bench [songs] [picks] [plain|hogs|hogs-apart|ours|make] [folder]
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench/bench_library.h"
#include "engine/list_builder.h"
#include "engine/lock_codes.h"
#include "engine/random_source.h"
#include "network/library_opening.h"
#include "settings/settings_defaults.h"
#include "tests/engine/plain_builder.h"
#include "tests/marlbase/plain_table.h"

using namespace tunora;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

Settings benchSettings(const std::string& path) {
  Settings s;
  resetAll(s);
  resetRatingValues(s);
  s.setText(settings::kDatabasePath, path);
  s.set(settings::kStateHistory, 0, 1);
  s.set(settings::kStateNoArtRep, 0, 1);
  s.set(settings::kStateNaughtyLimit, 0, 3);
  return s;
}

// The plain passes: every pass maps the table file and counts all its slots (its open), then
// draws, finding the n-th live record by a scan from slot 0 through the mapping, until a pick or
// the budget; the pass ends by unmapping the file.
std::vector<std::string> plainBuild(const std::string& path, uint32_t picks, uint64_t seed) {
  Settings settings = benchSettings(path);
  engine::BuilderMemory memory;
  engine::SeededRandomSource random(seed);
  std::vector<std::string> picked;
  while (picked.size() < picks) {
    const int fd = open(path.c_str(), O_RDWR);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return {};
    void* map =
        mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) return {};
    auto table = marlbase::testing::PlainTable::overMemory(static_cast<uint8_t*>(map), true);
    const auto rules = engine::DrawRules::forCurrentState(settings, memory.miss_count);
    const auto t0 = Clock::now();
    int64_t attempts = 0;
    bool got = false;
    while (true) {
      int32_t slot = -1;
      if (testing::plainDrawOnce(table, settings, memory, rules, random, &slot) ==
          engine::DrawOutcome::kPicked) {
        const double elapsed_ms = secondsSince(t0) * 1000;
        const int32_t build_time = settings.get(settings::kBuildTime);
        if (elapsed_ms > 30000 && build_time > 100) {
          settings.set(settings::kBuildTime, build_time - 100);
        } else if (elapsed_ms < 3000) {
          settings.set(settings::kBuildTime, build_time + 100);
        }
        memory.last_added_path = memory.last_picked_path;
        picked.push_back(memory.last_picked_path);
        memory.miss_count = 1;
        got = true;
        break;
      }
      if (attempts > settings.get(settings::kBuildTime)) break;
      ++attempts;
    }
    if (!got) ++memory.miss_count;
    munmap(map, static_cast<size_t>(st.st_size));
    close(fd);
  }
  return picked;
}

std::vector<std::string> ourBuild(const std::string& path, uint32_t picks, uint64_t seed) {
  Settings settings = benchSettings(path);
  settings.set(settings::kListSize, static_cast<int32_t>(picks));
  Env& env = Env::Default();
  engine::SharedWords words;
  engine::SharedLock lock(words, env);
  marlbase::TableHandle table;
  network::LibraryOpening library(table, settings);
  engine::PlayList list;
  engine::StatusMessage status;
  engine::SeededRandomSource random(seed);
  engine::BuilderHooks hooks;
  engine::ListBuilder builder(lock, library, settings, list, status, random, env, hooks);
  engine::Grant grant = lock.takeGrantDirectly(engine::kCodeListBuilder);
  library.openLibraryForReading();
  table.close();
  words.build_request.store(engine::kBuildNow);
  while (list.size() < static_cast<int32_t>(picks)) builder.runBuildPassHolding(grant);
  std::vector<std::string> picked;
  for (const auto& row : list.rows()) picked.push_back(row[engine::kFileNameColumn]);
  return picked;
}

double processSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double loadAverage() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

// Child processes that spin until killed.
// Apart, each in a session of its own: with the kernel's automatic task groups, processor time
// is shared out between sessions first, so hogs in this program's session split its share with
// the builder, while hogs apart are other programs, started elsewhere.
std::vector<pid_t> startHogs(int count, bool apart) {
  std::vector<pid_t> hogs;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      if (apart) (void)setsid();
      volatile uint64_t x = 0;
      while (true) x = x + 1;
    }
    if (pid > 0) hogs.push_back(pid);
  }
  return hogs;
}

void stopHogs(const std::vector<pid_t>& hogs) {
  for (pid_t pid : hogs) kill(pid, SIGKILL);
  for (pid_t pid : hogs) waitpid(pid, nullptr, 0);
}

// The engine's builder quiet and beside 2 and 4 processor hogs, each on a fresh copy of the
// library.
int hogRuns(const std::string& path, const std::string& pristine, uint32_t songs, uint32_t picks,
            bool apart) {
  double quiet_wall = 0;
  std::vector<std::string> quiet_picks;
  for (int hogs : {0, 2, 4}) {
    std::filesystem::copy_file(pristine, path, std::filesystem::copy_options::overwrite_existing);
    // The copy's write-back is not the builder's: it is done before the clock starts.
    sync();
    const double load = loadAverage();
    const std::vector<pid_t> hog_pids = startHogs(hogs, apart);
    const double cpu0 = processSeconds();
    const auto start = Clock::now();
    const auto picked = ourBuild(path, picks, 5);
    const double wall = secondsSince(start);
    const double cpu = processSeconds() - cpu0;
    stopHogs(hog_pids);
    if (hogs == 0) {
      quiet_wall = wall;
      quiet_picks = picked;
    }
    std::printf(
        "%u picks from %u songs beside %d hogs%s: wall %.3f s, cpu %.3f s, wall / quiet "
        "%.2f, picks %s (load before %.2f)\n",
        picks, songs, hogs, hogs > 0 && apart ? " apart" : "", wall, cpu, wall / quiet_wall,
        picked == quiet_picks ? "as quiet" : "DIFFER", load);
    if (picked != quiet_picks) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t songs = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 100000;
  const uint32_t picks = argc > 2 ? static_cast<uint32_t>(std::stoul(argv[2])) : 100;
  const std::string folder = argc > 4 ? argv[4] : "";
  const std::string path = (folder.empty() ? std::string("/tmp") : folder) +
                           "/tunora-builder-bench-" + std::to_string(songs) + ".mbf";
  const auto pristine_copy = path + ".pristine";
  // With a folder the pristine library is kept there and reused by later runs.
  if (folder.empty() || !std::filesystem::exists(pristine_copy)) {
    std::printf("building a library of %u songs ...\n", songs);
    std::fflush(stdout);
    if (!bench::buildLibrary(path, songs)) return 1;
  }
  if (argc > 3 && std::string(argv[3]) == "make") {
    marlbase::TableHandle table;
    table.setPath(path);
    table.setWritable(true);
    if (!table.open().ok()) return 1;
    (void)table.setStatus(0, marlbase::kStatusLive);
    table.close();
    std::printf("%s\n", path.c_str());
    return 0;
  }
  if (folder.empty() || !std::filesystem::exists(pristine_copy)) {
    std::filesystem::copy_file(path, pristine_copy,
                               std::filesystem::copy_options::overwrite_existing);
  } else {
    std::filesystem::copy_file(pristine_copy, path,
                               std::filesystem::copy_options::overwrite_existing);
  }
  sync();  // no write-back of the new files while the builders run

  if (argc > 3 && (std::string(argv[3]) == "hogs" || std::string(argv[3]) == "hogs-apart")) {
    const int result = hogRuns(path, pristine_copy, songs, picks, std::string(argv[3]) != "hogs");
    std::filesystem::remove(path);
    if (folder.empty()) std::filesystem::remove(pristine_copy);
    return result;
  }
  auto start = Clock::now();
  const auto ours = ourBuild(path, picks, 5);
  const double ours_s = secondsSince(start);
  if (argc > 3 && std::string(argv[3]) == "ours") {
    std::printf("ours %.3f s\n", ours_s);
    std::filesystem::remove(path);
    if (folder.empty()) std::filesystem::remove(pristine_copy);
    return 0;
  }
  // The plain passes write into their library too: a kept pristine copy is copied for them.
  const std::string plain_path = folder.empty() ? pristine_copy : path + ".plain";
  if (!folder.empty()) {
    std::filesystem::copy_file(pristine_copy, plain_path,
                               std::filesystem::copy_options::overwrite_existing);
  }
  start = Clock::now();
  const auto plain = plainBuild(plain_path, picks, 5);
  const double plain_s = secondsSince(start);
  std::printf("%u picks from %u songs: ours %.3f s, plain %.3f s, %.0fx faster; picks %s\n", picks,
              songs, ours_s, plain_s, plain_s / ours_s, ours == plain ? "identical" : "DIFFER");
  std::filesystem::remove(path);
  std::filesystem::remove(plain_path);
  return ours == plain ? 0 : 1;
}
