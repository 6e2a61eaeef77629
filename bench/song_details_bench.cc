// The Song details dialog's steps on a library of 100,000 songs (30 % of the slots deleted), as
// its worker runs them with the grant held: open the library through the library opening, move
// ("<", ">", "Find More"), load the record shown next (file size from disk included), close.
// Worst and median of many steps against the 10 ms budget, in processor time of the thread and
// wall time. Usage: song_details_bench [songs] [folder]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/shared_lock.h"
#include "engine/shared_words.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "marlbase/table_handle.h"
#include "network/library_opening.h"
#include "settings/fixed_user.h"
#include "settings/settings.h"
#include "ui/song_details_work.h"
#include "util/env.h"

namespace {

using Clock = std::chrono::steady_clock;
using tunora::maintenance::DetailsState;

double cpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

const char* const kWords[] = {"love",  "night", "blue", "Road", "fire", "Heart", "rain",
                              "dance", "city",  "moon", "Zero", "eden", "gold"};

bool buildLibrary(const std::string& path, uint32_t songs) {
  tunora::marlbase::TableHandle t;
  if (!tunora::createSongTable(t, path)) return false;
  std::mt19937 rng(42);
  for (uint32_t i = 0; i < songs; ++i) {
    const int32_t s = t.allocate();
    if (s < 0) return false;
    (void)t.writeText(s, tunora::kColFileName,
                      "/home/user/Music/Artist " + std::to_string(i % 5000) + "/Album/" +
                          std::to_string(i) + ".mp3");
    (void)t.writeText(s, tunora::kColTitle,
                      std::string(kWords[rng() % 13]) + " " + kWords[rng() % 13] + " " +
                          std::to_string(rng() % 1000));
    (void)t.writeText(s, tunora::kColArtist, "Artist " + std::to_string(rng() % 5000));
    (void)t.writeText(s, tunora::kColAlbum, std::string(kWords[rng() % 13]) + " album");
    (void)t.writeInt(s, tunora::ratingColumn(0), 1u << (rng() % 10));
  }
  t.setBatch(true);
  for (uint32_t i = 1; i < t.capacity(); ++i) {
    if (rng() % 100 < 30) (void)t.setStatus(static_cast<int32_t>(i), 5);
  }
  t.setBatch(false);
  t.close();
  return true;
}

int failures = 0;

void report(const char* what, std::vector<double> cpu, std::vector<double> wall) {
  std::sort(cpu.begin(), cpu.end());
  const double worst_cpu = cpu.back();
  const double median = cpu[cpu.size() / 2];
  const double worst_wall = *std::max_element(wall.begin(), wall.end());
  const bool ok = worst_cpu < 0.010;
  if (!ok) ++failures;
  std::printf("%-36s median %7.3f ms, worst %7.3f ms cpu, worst %8.3f ms wall (budget 10 ms) %s\n",
              what, median * 1e3, worst_cpu * 1e3, worst_wall * 1e3, ok ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t songs = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 100000;
  const std::string folder = argc > 2 ? argv[2] : "/tmp";
  const std::string path = folder + "/tunora-details-bench-" + std::to_string(songs) + ".mbf";
  if (!buildLibrary(path, songs)) return 1;

  tunora::Settings settings;
  settings.setText(tunora::settings::kDatabasePath, path);
  for (uint32_t k = 0; k < 10; ++k) settings.set(tunora::settings::kRatingValue, k, 1 << k);
  tunora::marlbase::TableHandle table;
  tunora::network::LibraryOpening library(table, settings);
  tunora::engine::SharedWords words;
  tunora::engine::SharedLock lock(words, tunora::Env::Default());
  tunora::ui::DetailsWorkParts parts{lock, library, settings, tunora::kNoFixedUser, folder + "/"};
  library.openLibraryForReading();
  std::printf("%u songs written, %d live, capacity %u\n\n", songs, table.liveCount(),
              table.capacity());
  table.close();

  const auto run = [&](const char* what, DetailsState state, const char* phrase, int steps) {
    std::vector<double> cpu;
    std::vector<double> wall;
    tunora::ui::DetailsRequest request;
    request.state = state;
    request.phrase = phrase;
    request.record = 1;
    for (int i = 0; i < steps; ++i) {
      const auto wall_start = Clock::now();
      const double cpu_start = cpuNow();
      const tunora::ui::DetailsOutcome out = tunora::ui::detailsStepWithGrant(parts, request);
      cpu.push_back(cpuNow() - cpu_start);
      wall.push_back(std::chrono::duration<double>(Clock::now() - wall_start).count());
      if (!out.loaded) {
        std::printf("%s: step %d loaded nothing\n", what, i);
        ++failures;
        return;
      }
      request.record = out.record;
    }
    report(what, std::move(cpu), std::move(wall));
  };
  run("\">\" step (3,000 steps)", DetailsState::kNext, "", 3000);
  run("\"<\" step (3,000 steps, wrapping)", DetailsState::kPrevious, "", 3000);
  run("\"Find More\" \"love\" (1,000 steps)", DetailsState::kFindMore, "love", 1000);
  // A phrase of one artist: about 14 hits, so most steps scan far and the last wraps to none.
  run("\"Find More\" \"Artist 4321\" (100)", DetailsState::kFindMore, "Artist 4321", 100);
  run("\"Find More\" no hit (20 full scans)", DetailsState::kFindMore, "qqqzz", 20);

  std::filesystem::remove(path);
  return failures == 0 ? 0 : 1;
}
