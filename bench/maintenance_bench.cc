// Maintenance, search and song-details benchmark on a song table of 100,000 songs (30 % of
// the slots deleted, 5 % of the live paths duplicated): each operation's fastest of a few runs
// against its budget. Usage: maintenance_bench [songs] [folder]
// With a third argument "side", it instead writes the live rows to folder/rows-<songs>.tsv (slot,
// then the 44 columns) and prints one line per operation, "TIME name cpu wall rows", in the form
// bench/side_by_side.py reads to run the same operations on the same rows in SQLite.
// With "sort" instead, it only times the two sorts, five runs each, one line per run, each on a
// copy that has its index cache ("sort-bare": on a copy with none); with "rank", only the top and
// worst songs (the fastest of five each); with "rows", only the rows file. "make" only writes the
// library (folder/tunora-maint-bench-<songs>.mbf); a library found there is used and kept.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "library/song_columns.h"
#include "library/song_table.h"
#include "maintenance/db_functions.h"
#include "maintenance/song_details.h"
#include "maintenance/song_search.h"
#include "marlbase/index_cache.h"
#include "marlbase/index_delta.h"
#include "marlbase/table_handle.h"

using tunora::marlbase::TableHandle;
namespace m = tunora::maintenance;

namespace {

using Clock = std::chrono::steady_clock;

// Processor time of this thread (judged against the budgets) and wall time. On a shared, loaded
// machine the wall clock also counts the time other programs had the processor.
struct Elapsed {
  double cpu = 0;
  double wall = 0;
};
constexpr Elapsed kFailed{1e30, 1e30};

double cpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Timer {
  Clock::time_point wall = Clock::now();
  double cpu = cpuNow();
};

Elapsed secondsSince(const Timer& start) {
  return {cpuNow() - start.cpu, std::chrono::duration<double>(Clock::now() - start.wall).count()};
}

template <typename Fn>
Elapsed fastest(int n, Fn&& fn) {
  Elapsed best = kFailed;
  for (int i = 0; i < n; ++i) {
    const Elapsed e = fn();
    if (e.cpu < best.cpu) best = e;
  }
  return best;
}

std::string word(std::mt19937& rng) {
  static const char* kWords[] = {"love",  "night", "blue", "Road", "fire", "Heart", "rain",
                                 "dance", "Äpfel", "city", "moon", "Zero", "eden",  "gold"};
  return kWords[rng() % 14];
}

bool buildLibrary(const std::string& path, uint32_t songs) {
  TableHandle t;
  if (!tunora::createSongTable(t, path)) return false;
  std::mt19937 rng(42);
  for (uint32_t i = 0; i < songs; ++i) {
    const int32_t s = t.allocate();
    if (s < 0) return false;
    const uint32_t n = rng() % 20 == 0 ? rng() % (i + 1) : i;  // 5 % repeat an earlier path
    (void)t.writeText(s, tunora::kColFileName,
                      "/home/user/Music/Artist " + std::to_string(n % 5000) + "/Album/" +
                          std::to_string(n) + ".mp3");
    (void)t.writeText(s, tunora::kColTitle,
                      word(rng) + " " + word(rng) + " " + std::to_string(rng() % 1000));
    (void)t.writeText(s, tunora::kColArtist, "Artist " + std::to_string(rng() % 5000));
    (void)t.writeText(s, tunora::kColAlbum, word(rng) + " album");
    (void)t.writeInt(s, tunora::ratingColumn(0), 1u << (rng() % 10));
    (void)t.writeInt(s, tunora::kColPlayCount, rng() % 3 == 0 ? 0 : rng() % 50);
  }
  t.setBatch(true);
  for (uint32_t i = 1; i < t.capacity(); ++i) {
    if (rng() % 100 < 30) (void)t.setStatus(static_cast<int32_t>(i), 5);
  }
  t.setBatch(false);
  (void)t.setStatus(0, 10);
  t.close();
  return true;
}

// A fresh copy of the table, on disk before it is opened: the kernel's writeback of the copy
// would otherwise run during the timed work and be counted in it.
bool openCopy(TableHandle& t, const std::string& pristine, const std::string& copy) {
  std::error_code ec;
  std::filesystem::copy_file(pristine, copy, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return false;
  const int fd = ::open(copy.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fdatasync(fd) == 0;
  ::close(fd);
  if (!synced) return false;
  // A journal or sort image an earlier, killed run left beside the copy is not this copy's.
  std::filesystem::remove(tunora::marlbase::MoveJournal::pathFor(copy), ec);
  std::filesystem::remove(tunora::marlbase::sortImagePathFor(copy), ec);
  t.setPath(copy);
  t.setWritable(true);
  return t.open().ok();
}

// A table and the index cache and delta its closes leave beside it.
void removeTable(const std::string& path) {
  std::filesystem::remove(path);
  std::filesystem::remove(tunora::marlbase::indexCachePathFor(path));
  std::filesystem::remove(tunora::marlbase::indexDeltaPathFor(path));
}

int failures = 0;

void report(const char* what, Elapsed e, double budget, const std::string& note = "") {
  const bool ok = e.cpu < budget;
  if (!ok) ++failures;
  std::printf("%-44s %9.3f ms cpu %9.3f ms wall  (budget %5.0f ms) %s %s\n", what, e.cpu * 1e3,
              e.wall * 1e3, budget * 1e3, ok ? "ok" : "OVER", note.c_str());
}

// The live rows, in slot order, one line each: the slot, then every column.
bool dumpRows(TableHandle& t, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  for (int32_t s = t.firstWithStatus(10, 0); s >= 0;) {
    out << s;
    for (int32_t c = 1; c <= t.columnCount(); ++c) {
      out << '\t';
      if (c <= 9) {
        out << t.readText(s, c).value_or("");
      } else {
        out << t.readInt(s, c).value_or(0);
      }
    }
    out << '\n';
    const int32_t next = t.nextLive(s);
    if (next == s) break;
    s = next;
  }
  return static_cast<bool>(out);
}

void timeLine(const std::string& name, Elapsed e, size_t rows) {
  std::printf("TIME %s %.6f %.6f %zu\n", name.c_str(), e.cpu, e.wall, rows);
  std::fflush(stdout);
}

// A fresh copy with the index cache a library the program has used has (the slot sets and the
// paths' lookup index, written by a close that leaves the table's bytes as they are), opened from
// that cache by a new handle that looks a path up, as the program does before its maintenance.
bool openCachedCopy(TableHandle& t, const std::string& pristine, const std::string& copy) {
  TableHandle first;
  if (!openCopy(first, pristine, copy)) return false;
  first.setSearchKey("/home/user/Music/Artist 1/Album/1.mp3");
  (void)first.findInColumn(tunora::kColFileName);
  if (!first.setHeaderFlag(1)) return false;  // the flag is 1 already: the same bytes again
  first.close();
  t.setPath(copy);
  t.setWritable(true);
  if (!t.open().ok() || !t.TEST_openUsedIndexCache()) return false;
  t.setSearchKey("/home/user/Music/Artist 1/Album/1.mp3");
  (void)t.findInColumn(tunora::kColFileName);
  return true;
}

// The two sorts, five runs each on a fresh copy (the sorted records reach the file at close),
// with the library's index cache present when `cached`.
int sortsOnly(const std::string& path, const std::string& copy, bool cached) {
  for (auto [name, f] : {std::pair{"sort_name", m::DbFunction::kSortByName},
                         std::pair{"sort_artist", m::DbFunction::kSortByArtist}}) {
    for (int run = 0; run < 5; ++run) {
      // What earlier runs and operations left to write back is written now, not during the sort.
      ::sync();
      TableHandle w;
      if (!(cached ? openCachedCopy(w, path, copy) : openCopy(w, path, copy))) return 1;
      rusage before{}, after{};
      (void)getrusage(RUSAGE_THREAD, &before);
      const Timer start;
      const bool ok = m::runDbFunction(f, w, {}, {}, nullptr, nullptr).ok;
      w.close();
      const Elapsed e = ok ? secondsSince(start) : kFailed;
      (void)getrusage(RUSAGE_THREAD, &after);
      // After the line: the page faults the sort took (a page written again after the kernel
      // wrote it back faults again).
      std::printf("TIME %s %.6f %.6f 0 faults %ld\n", name, e.cpu, e.wall,
                  after.ru_minflt + after.ru_majflt - before.ru_minflt - before.ru_majflt);
      std::fflush(stdout);
    }
  }
  removeTable(copy);
  return 0;
}

// The top and worst songs, each the fastest of 5 runs, on the open table.
void timeRankings(TableHandle& t) {
  for (auto [name, ranking] :
       {std::pair{"top", m::Ranking::kTop}, std::pair{"worst", m::Ranking::kWorst}}) {
    size_t rows = 0;
    const Elapsed e = fastest(5, [&] {
      const Timer start;
      rows = m::rankSongs(t, ranking, {}).size();
      return secondsSince(start);
    });
    timeLine(name, e, rows);
  }
}

// The operations of the side-by-side comparison, each the fastest of 5 runs (the sorts: each of
// 5 runs, for their spread), on the open table.
int sideBySide(const std::string& path, const std::string& copy, const std::string& rows_file) {
  TableHandle t;
  t.setPath(path);
  if (!t.open().ok() || !dumpRows(t, rows_file)) return 1;
  std::printf("ROWS %d\n", t.liveCount());
  size_t hits = 0;
  for (auto [name, phrase] :
       {std::pair{"search_hit", "love"}, std::pair{"search_rare", "Artist 4999"},
        std::pair{"search_miss", "qqqzz"}}) {
    const Elapsed e = fastest(5, [&] {
      const Timer start;
      hits = m::phraseSearch(t, phrase, {}).size();
      return secondsSince(start);
    });
    timeLine(name, e, hits);
  }
  timeRankings(t);
  t.close();
  int64_t removed = 0;
  const Elapsed dedupe = fastest(5, [&] {
    TableHandle w;
    if (!openCopy(w, path, copy)) return kFailed;
    const Timer start;
    removed =
        m::runDbFunction(m::DbFunction::kRemoveDuplicates, w, {}, {}, nullptr, nullptr).changed;
    w.close();
    return secondsSince(start);
  });
  timeLine("remove_duplicates", dedupe, static_cast<size_t>(removed));
  return sortsOnly(path, copy, true);
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t songs = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 100000;
  const std::string folder = argc > 2 ? argv[2] : "/tmp";
  const std::string path = folder + "/tunora-maint-bench-" + std::to_string(songs) + ".mbf";
  const std::string copy = path + ".work";
  const std::string mode = argc > 3 ? argv[3] : "";
  // A library left by an earlier run ("make" only writes one) is used as it is, and kept.
  const bool kept = std::filesystem::exists(path);
  if (!kept && !buildLibrary(path, songs)) return 1;
  const auto finish = [&](int result) {
    if (!kept && mode != "make") removeTable(path);
    return result;
  };
  if (mode == "make") return 0;
  if (mode == "rank") {
    TableHandle t;
    t.setPath(path);
    if (!t.open().ok()) return finish(1);
    timeRankings(t);
    t.close();
    return finish(0);
  }
  if (mode == "sort" || mode == "sort-bare") return finish(sortsOnly(path, copy, mode == "sort"));
  if (mode == "rows") {
    TableHandle t;
    t.setPath(path);
    const bool ok =
        t.open().ok() && dumpRows(t, folder + "/rows-" + std::to_string(songs) + ".tsv");
    t.close();
    return finish(ok ? 0 : 1);
  }
  if (mode == "side") {
    return finish(sideBySide(path, copy, folder + "/rows-" + std::to_string(songs) + ".tsv"));
  }
  TableHandle t;
  t.setPath(path);
  if (!t.open().ok()) return finish(1);
  std::printf("%u songs written, %d live, capacity %u\n\n", songs, t.liveCount(), t.capacity());

  size_t hits = 0;
  for (const char* phrase : {"love", "Artist 4999", "qqqzz"}) {
    const Elapsed s = fastest(5, [&] {
      const Timer start;
      hits = m::phraseSearch(t, phrase, {}).size();
      return secondsSince(start);
    });
    report(("phrase search \"" + std::string(phrase) + "\"").c_str(), s, 0.100,
           std::to_string(hits) + " rows");
  }
  for (auto [name, ranking] :
       {std::pair{"top songs", m::Ranking::kTop}, std::pair{"worst songs", m::Ranking::kWorst}}) {
    const Elapsed s = fastest(5, [&] {
      const Timer start;
      hits = m::rankSongs(t, ranking, {}).size();
      return secondsSince(start);
    });
    report(name, s, 0.050, std::to_string(hits) + " rows");
  }

  // The details dialog: each step opens the library, moves, loads the record and closes, as a
  // timer tick does. The worst of 2,000 steps.
  t.close();
  const tunora::RatingThresholds thresholds{1, 2, 4, 8, 16, 32, 64, 128, 256, 512};
  int32_t r = 0;
  for (auto [name, forward] : {std::pair{"details \">\" step (worst of 2000)", true},
                               std::pair{"details \"<\" step (worst of 2000)", false}}) {
    Elapsed worst;
    for (int i = 0; i < 2000; ++i) {
      const Timer start;
      (void)t.open();
      r = forward ? m::nextRecord(t, r) : m::previousRecord(t, r);
      (void)m::loadFields(t, r, thresholds);
      t.close();
      const Elapsed e = secondsSince(start);
      worst = {std::max(worst.cpu, e.cpu), std::max(worst.wall, e.wall)};
    }
    report(name, worst, 0.010);
  }
  {
    Elapsed worst;
    r = -1;
    for (int i = 0; i < 200; ++i) {
      const Timer start;
      (void)t.open();
      const auto hit = m::findRecord(t, "Artist 4999", r);
      r = hit.value_or(-1);
      if (hit) (void)m::loadFields(t, *hit, thresholds);
      t.close();
      const Elapsed e = secondsSince(start);
      worst = {std::max(worst.cpu, e.cpu), std::max(worst.wall, e.wall)};
    }
    report("details \"Find More\" step (worst of 200)", worst, 0.010, "rare phrase: long scans");
  }

  int64_t removed = 0;
  const Elapsed dedupe = fastest(3, [&] {
    TableHandle w;
    if (!openCopy(w, path, copy)) return kFailed;
    const Timer start;
    removed =
        m::runDbFunction(m::DbFunction::kRemoveDuplicates, w, {}, {}, nullptr, nullptr).changed;
    const Elapsed s = secondsSince(start);
    w.close();
    return s;
  });
  report("remove duplicates", dedupe, 1.0, std::to_string(removed) + " removed");
  for (auto [name, f] : {std::pair{"sort by name", m::DbFunction::kSortByName},
                         std::pair{"sort by artist", m::DbFunction::kSortByArtist}}) {
    report(name,
           fastest(3,
                   [&] {
                     TableHandle w;
                     if (!openCopy(w, path, copy)) return kFailed;
                     const Timer start;
                     const bool ok = m::runDbFunction(f, w, {}, {}, nullptr, nullptr).ok;
                     w.close();  // the sorted records reach the file
                     const Elapsed e = secondsSince(start);
                     return ok ? e : kFailed;
                   }),
           2.0);
  }
  removeTable(copy);
  return finish(failures == 0 ? 0 : 1);
}
