// Quick-link list benchmark: the album list on a generated 100,000-song library in which 10,000
// songs share the album "No Data", timed as the builder does it (open the table, search, close).
// Cases: ratings spread over 0..10 (the list fills at the top ratings), and every "No Data"
// song rated 0 for the user (ten whole walks over the 10,000 matches before the last finds 25).
// "cold": a fresh handle (the open scans the file; the first lookup builds the column's index);
// "first": the program's handle, open before, at its first lookup on the column (the index is
// built); "warm": every later list while the library is unchanged (open and index cached).
// Usage: quick_links_bench [songs] [shared] [runs]
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "library/song_columns.h"
#include "library/song_table.h"
#include "marlbase/table_handle.h"
#include "ui/quick_link_search.h"

using namespace tunora;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kUser = 0;

// Every `shared / songs`-th song has the album "No Data"; the rest spread over 7,000 albums.
bool buildLibrary(const std::string& path, uint32_t songs, uint32_t shared, bool low_rated) {
  marlbase::TableHandle t;
  if (!createSongTable(t, path)) return false;
  std::mt19937 rng(7);
  const uint32_t step = std::max(1u, songs / std::max(1u, shared));
  t.setBatch(true);
  for (uint32_t i = 1; i <= songs; ++i) {
    const int32_t s = t.allocate();
    if (s < 0) return false;
    const bool no_data = i % step == 0;
    const std::string album = no_data ? "No Data" : "Album " + std::to_string(rng() % 7000);
    (void)t.writeText(s, kColFileName,
                      "/home/user/Music/" + album + "/" + std::to_string(i) +
                          (i % 50 == 0 ? " Clip.avi" : " Song.mp3"));
    (void)t.writeText(s, kColTitle, "Song " + std::to_string(i));
    (void)t.writeText(s, kColArtist, "Artist " + std::to_string(rng() % 8000));
    (void)t.writeText(s, kColAlbum, album);
    const uint32_t rating = no_data && low_rated ? 0 : rng() % 11;
    for (int32_t u = 0; u < kUserCount; ++u) {
      (void)t.writeInt(s, ratingColumn(u), rating == 0 ? 0 : 1u << (rating - 1));
    }
  }
  t.setBatch(false);
  t.close();
  return true;
}

enum class Mode {
  kCold,   // a fresh handle: the open scans the file, the first lookup builds the column index
  kFirst,  // a handle opened once before (untimed): the first lookup builds the column index
  kWarm,   // the same handle again: open and index come from its cache
};
const char* modeName(Mode mode) {
  return mode == Mode::kCold ? "cold" : mode == Mode::kFirst ? "first" : "warm";
}

// One list as the builder makes it: open, search, close. `open_ms` receives the open's share.
double runOnce(marlbase::TableHandle& kept, const std::string& path, Mode mode, size_t* entries,
               double* open_ms) {
  marlbase::TableHandle fresh;
  marlbase::TableHandle& t = mode == Mode::kWarm ? kept : fresh;
  t.setPath(path);
  if (mode == Mode::kFirst) {
    if (!t.open().ok()) return -1;
    t.close();
  }
  ui::QuickLinkOptions options;
  options.user = kUser;
  for (uint32_t k = 0; k < 10; ++k) options.thresholds[k] = 1u << k;
  const std::atomic<int32_t> no_request{0};
  const Clock::time_point start = Clock::now();
  if (!t.open().ok()) return -1;
  *open_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const ui::QuickLinkSearch found =
      ui::searchRelated(t, kColAlbum, "No Data", options, no_request, {});
  t.close();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  *entries = found.entries.size();
  return ms;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t songs = argc > 1 ? static_cast<uint32_t>(std::atol(argv[1])) : 100000;
  const uint32_t shared = argc > 2 ? static_cast<uint32_t>(std::atol(argv[2])) : 10000;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 21;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tunora-qlbench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::printf("quick-link list, %u songs, %u with the album \"No Data\", median of %d runs\n",
              songs, shared, runs);
  for (bool low_rated : {false, true}) {
    const std::string path = (dir / (low_rated ? "low.mbf" : "spread.mbf")).string();
    if (!buildLibrary(path, songs, shared, low_rated)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    for (Mode mode : {Mode::kCold, Mode::kFirst, Mode::kWarm}) {
      std::vector<double> times;
      std::vector<double> opens;
      size_t entries = 0;
      marlbase::TableHandle kept;
      for (int r = 0; r < runs; ++r) {
        double open_ms = 0;
        times.push_back(runOnce(kept, path, mode, &entries, &open_ms));
        opens.push_back(open_ms);
      }
      std::printf("  %-28s %-5s %8.3f ms, of which the open %8.3f ms  (%zu entries)\n",
                  low_rated ? "all rated 0 (11 walks)" : "ratings spread 0..10", modeName(mode),
                  median(times), median(opens), entries);
    }
  }
  std::filesystem::remove_all(dir);
  return 0;
}
