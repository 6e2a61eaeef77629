// Open benchmark: what an open costs as the library grows. For each size it generates a library
// in the folder (kept there, reused by later runs), then times in this process:
//   first open   a fresh handle's open and close right after the library was written;
//   open         a fresh handle's open and close, the median of 15 (what every command pays),
//                and the fastest of them (less disturbed by a loaded machine);
//   path lookup  a fresh handle's open and one whole-value lookup of a file name (an import's
//                question "is this file in the library already?");
//   walk         a fresh handle's open and the 100th live record (the first use of the slots).
// Then prints each time's ratio to the smallest library's.
// Usage: open_bench FOLDER [sizes...]   (default sizes 10000 100000)
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_library.h"
#include "library/song_columns.h"
#include "marlbase/table_handle.h"

using namespace tunora;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Times {
  double first = 0, open = 0, open_min = 0, lookup = 0, walk = 0;
};

template <typename F>
double timeOnce(const std::string& path, F&& use) {
  marlbase::TableHandle t;
  t.setPath(path);
  const auto start = Clock::now();
  if (!t.open().ok()) return -1;
  use(t);
  t.close();
  return secondsSince(start);
}

template <typename F>
double median(const std::string& path, int runs, F&& use, double* fastest = nullptr) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(timeOnce(path, use));
  std::sort(times.begin(), times.end());
  if (fastest != nullptr) *fastest = times.front();
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: open_bench FOLDER [sizes...]\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::vector<uint32_t> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(static_cast<uint32_t>(std::stoul(argv[i])));
  if (sizes.empty()) sizes = {10000, 100000};
  std::vector<Times> all;
  for (uint32_t songs : sizes) {
    const std::string path = folder + "/library-" + std::to_string(songs) + ".mbf";
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      std::printf("generating %s ...\n", path.c_str());
      std::fflush(stdout);
      if (!bench::buildLibrary(path, songs)) return 1;
    }
    Times t;
    // A writer's close, then the first open of the library as written.
    {
      marlbase::TableHandle w;
      w.setPath(path);
      w.setWritable(true);
      if (!w.open().ok()) return 1;
      (void)w.setHeaderFlag(1);
      w.close();
    }
    t.first = timeOnce(path, [](marlbase::TableHandle&) {});
    t.open = median(
        path, 15, [](marlbase::TableHandle&) {}, &t.open_min);
    const std::string name = "/home/user/Music/Artist 1/Album " + std::to_string(songs % 700) +
                             "/" + std::to_string(songs) + " Song.mp3";
    t.lookup = median(path, 5, [&](marlbase::TableHandle& h) {
      h.setSearchKey(name);
      (void)h.findInColumn(kColFileName);
    });
    t.walk = median(path, 5, [](marlbase::TableHandle& h) { (void)h.nthLive(100); });
    std::printf(
        "%8u songs: first open %9.5f s  open %9.5f s (fastest %9.5f s)  path lookup %9.5f s"
        "  walk %9.5f s\n",
        songs, t.first, t.open, t.open_min, t.lookup, t.walk);
    std::fflush(stdout);
    all.push_back(t);
  }
  for (size_t i = 1; i < all.size(); ++i) {
    std::printf(
        "ratio %u / %u: first open %.2f  open %.2f (fastest %.2f)  path lookup %.2f  walk %.2f\n",
        sizes[i], sizes[0], all[i].first / all[0].first, all[i].open / all[0].open,
        all[i].open_min / all[0].open_min, all[i].lookup / all[0].lookup,
        all[i].walk / all[0].walk);
  }
  return 0;
}
