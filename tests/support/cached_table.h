// A table of song paths written by the engine whose close leaves an index cache beside it, and
// what an open answers from its slot index and path lookups, by the engine or from the table's
// bytes alone: the fixture of the index cache tests and of their kill tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "marlbase/index_cache.h"
#include "marlbase/table_handle.h"

namespace tunora::testing {

// Column 1 a path (type 14), column 2 a number (type 2).
struct CachedTable {
  int records = 300;
  int distinct_paths = 1 << 30;  // record i holds pathOf(i % distinct_paths) and the number i
  int delete_every = 0;          // when n > 0, slots 0, n, 2n, ... are deleted
  static std::string pathOf(int i) { return "/Music/Song " + std::to_string(i) + ".mp3"; }
};

// Writes the table, looks a path up (so the close caches the path column's index too) and
// closes it. True when every step worked and the cache is there.
inline bool makeCachedTable(const std::string& path, const CachedTable& shape = {}) {
  marlbase::TableHandle t;
  t.setPath(path);
  t.setColumnCount(2);
  if (!t.create().ok() || !t.defineColumn(1, 14) || !t.defineColumn(2, 2) || !t.finishColumns()) {
    return false;
  }
  t.close();
  t.setWritable(true);
  if (!t.open().ok()) return false;
  for (int i = 0; i < shape.records; ++i) {
    const int32_t s = t.allocate();
    if (s < 0 || !t.writeText(s, 1, CachedTable::pathOf(i % shape.distinct_paths)) ||
        !t.writeInt(s, 2, static_cast<uint32_t>(i))) {
      return false;
    }
  }
  for (int i = 0; shape.delete_every > 0 && i < shape.records; i += shape.delete_every) {
    if (t.setStatus(i, marlbase::kStatusDeleted) != 1) return false;
  }
  t.setSearchKey(CachedTable::pathOf(1));
  if (t.findInColumn(1) < 0) return false;
  t.close();
  return std::filesystem::exists(marlbase::indexCachePathFor(path));
}

inline std::vector<std::string> firstPaths(int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back(CachedTable::pathOf(i));
  return out;
}

// The live count, the live slots by nthLive, and per probe the highest match (findInColumn), then
// every match upwards from slot 1 (findInColumnFrom), then -2.
inline std::vector<int32_t> answersOf(marlbase::TableHandle& t,
                                      const std::vector<std::string>& probes) {
  std::vector<int32_t> out = {t.liveCount()};
  for (int32_t n = 1; t.nthLive(n) >= 0; ++n) out.push_back(t.nthLive(n));
  for (const std::string& p : probes) {
    t.setSearchKey(p);
    out.push_back(t.findInColumn(1));
    for (int32_t s = t.findInColumnFrom(1, 1); s >= 0; s = t.findInColumnFrom(s + 1, 1)) {
      out.push_back(s);
    }
    out.push_back(-2);
  }
  return out;
}

// The same of a fresh reader's open ({} when it does not open).
inline std::vector<int32_t> answersOf(const std::string& path,
                                      const std::vector<std::string>& probes) {
  marlbase::TableHandle t;
  t.setPath(path);
  return t.open().ok() ? answersOf(t, probes) : std::vector<int32_t>{};
}

// The same from the status words and fields alone, no index involved.
inline std::vector<int32_t> truthOf(const std::string& path,
                                    const std::vector<std::string>& probes) {
  marlbase::TableHandle t;
  t.setPath(path);
  if (!t.open().ok()) return {};
  const auto status = [&](int32_t s) { return t.peekStatus(s).value_or(0); };
  const auto slots = static_cast<int32_t>(t.capacity());
  std::vector<int32_t> live;
  for (int32_t s = 0; s < slots; ++s) {
    if (status(s) == marlbase::kStatusLive) live.push_back(s);
  }
  std::vector<int32_t> out = {static_cast<int32_t>(live.size())};
  out.insert(out.end(), live.begin(), live.end());
  for (const std::string& p : probes) {
    std::vector<int32_t> matches;
    for (int32_t s = 1; s < slots; ++s) {
      const std::string_view f = t.peekField(s, 1);
      if (status(s) > marlbase::kHighestFreeStatus &&
          std::string(f.data(), strnlen(f.data(), f.size())) == p) {
        matches.push_back(s);
      }
    }
    out.push_back(matches.empty() ? -1 : matches.back());
    out.insert(out.end(), matches.begin(), matches.end());
    out.push_back(-2);
  }
  return out;
}

}  // namespace tunora::testing
