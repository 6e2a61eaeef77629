// Import benchmark, in two phases. Big files: 2,000 generated 4 MB MP3 files in Artist/Album
// folders, files per second for the import beside a program that reads only the bytes the import
// needs (the first 4 KB for the tag, the last 128 bytes, the quarter of each file the checksum
// touches). Many files: folders of 1,000 to 20,000 small files, time per file, which must stay
// flat.
// Usage: import_bench [folder] [big-file-count]
// With a third argument "one": instead, one new file imported into generated libraries of 10,000,
// 100,000 (and, with a fourth argument, that many) songs: the first import through a handle that
// has opened the library once (as the program's handle has after start-up), then a second new
// file through the same handle; time, and the ratio to the smallest library.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_library.h"
#include "engine/lock_codes.h"
#include "import/import.h"
#include "library/song_table.h"
#include "settings/settings_defaults.h"

using namespace tunora;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string id3Frame(const char* id, const std::string& text) {
  std::string frame(id, 4);
  const uint32_t size = static_cast<uint32_t>(text.size() + 1);
  frame += static_cast<char>(size >> 24);
  frame += static_cast<char>(size >> 16);
  frame += static_cast<char>(size >> 8);
  frame += static_cast<char>(size);
  frame += std::string(2, '\0');
  frame += '\0';  // ISO-8859-1
  return frame + text;
}

// An ID3v2.3 tag, then `size` bytes of MPEG-like filler.
void writeSong(const fs::path& path, const std::string& artist, const std::string& album,
               const std::string& title, size_t size, uint64_t seed) {
  std::string frames = id3Frame("TIT2", title) + id3Frame("TPE1", artist) + id3Frame("TALB", album);
  std::string tag = "ID3";
  tag += '\x03';
  tag += '\0';
  tag += '\0';
  const auto n = static_cast<uint32_t>(frames.size());
  for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((n >> shift) & 0x7F);
  std::vector<char> body(size);
  uint64_t x = seed | 1;
  for (size_t i = 0; i + 8 <= size; i += 8) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    std::memcpy(&body[i], &x, 8);
  }
  std::ofstream out(path, std::ios::binary);
  out << tag << frames;
  out.write(body.data(), static_cast<std::streamsize>(body.size()));
}

void makeFolder(const fs::path& root, int files, size_t size) {
  if (fs::exists(root / ".complete")) return;
  fs::remove_all(root);
  for (int i = 0; i < files; ++i) {
    const std::string artist = "Artist " + std::to_string(i / 20);
    const std::string album = "Album " + std::to_string(i / 5 % 4);
    const fs::path folder = root / artist / album;
    fs::create_directories(folder);
    writeSong(folder / ("Song " + std::to_string(i) + ".mp3"), artist, album,
              "Song " + std::to_string(i), size, static_cast<uint64_t>(i));
  }
  std::ofstream(root / ".complete") << "";
}

class QuietStatus final : public media::ImportStatus {
 public:
  void setLine1(const std::string& text) override { line1 = text; }
  void setLine2(const std::string&) override {}
  std::string line1;
};

// Imports `folder` into the library through `table`; seconds, or -1 on failure. The number of
// songs added goes to `added`.
double importInto(marlbase::TableHandle& table, const std::string& library, const fs::path& folder,
                  int64_t* added) {
  Settings settings;
  resetAll(settings);
  resetRatingValues(settings);
  settings.setText(settings::kDatabasePath, library);
  engine::SharedWords words;
  engine::SharedLock lock(words, Env::Default());
  QuietStatus status;
  std::atomic<int32_t> changes{0};
  media::Importer importer(lock, table, settings, status, changes);
  engine::Grant grant = lock.takeGrantDirectly(engine::kCodeImport);
  const auto start = Clock::now();
  importer.runImportHolding(grant, folder.string() + "/");
  const double seconds = secondsSince(start);
  *added = importer.songsAdded();
  return status.line1 == media::kImportCompleteText ? seconds : -1;
}

// Imports the folder into a new song table; returns seconds, or -1 on failure.
double timeImport(const fs::path& folder, const std::string& table_path, int64_t* added) {
  fs::remove(table_path);
  marlbase::TableHandle table;
  if (!createSongTable(table, table_path)) return -1;
  table.close();
  return importInto(table, table_path, folder, added);
}

// Reads only what the import needs of each media file below folder.
double timeMinimumReads(const fs::path& folder, int64_t* files) {
  std::vector<char> buffer(1 << 20);
  const auto start = Clock::now();
  *files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".mp3") continue;
    const int fd = open(entry.path().c_str(), O_RDONLY);
    if (fd < 0) continue;
    const auto size = static_cast<int64_t>(entry.file_size());
    (void)!pread(fd, buffer.data(), 4096, 0);
    (void)!pread(fd, buffer.data(), 128, size > 128 ? size - 128 : 0);
    for (int64_t at = 0, need = (size + 3) / 4 + 3; at < need && at < size;) {
      const auto n =
          pread(fd, buffer.data(), static_cast<size_t>(std::min<int64_t>(need - at, 1 << 20)), at);
      if (n <= 0) break;
      at += n;
    }
    close(fd);
    ++*files;
  }
  return secondsSince(start);
}

int oneFile(const fs::path& root, const std::vector<uint32_t>& sizes) {
  double first_base = 0, second_base = 0;
  for (uint32_t songs : sizes) {
    const std::string library = (root / ("one-" + std::to_string(songs) + ".mbf")).string();
    if (!bench::buildLibrary(library, songs)) return 1;
    for (const char* name : {"new-1", "new-2"}) {
      fs::remove_all(root / name);
      fs::create_directories(root / name);
      writeSong(root / name / (std::string(name) + ".mp3"), "Someone", "Something", name, 2048, 1);
    }
    marlbase::TableHandle table;
    table.setPath(library);
    table.setWritable(true);
    if (!table.open().ok()) return 1;
    (void)table.setStatus(0, marlbase::kStatusLive);  // the blank first record an import expects
    table.close();
    if (!table.open().ok()) return 1;  // as the program opens its library at start-up
    table.close();
    int64_t first_added = 0, second_added = 0;
    const double first = importInto(table, library, root / "new-1", &first_added);
    const double second = importInto(table, library, root / "new-2", &second_added);
    if (first < 0 || second < 0 || first_added != 1 || second_added != 1) return 1;
    if (first_base == 0) first_base = first, second_base = second;
    std::printf("%8u songs: first new file %.4f s (x%.2f of %u), second %.4f s (x%.2f)\n", songs,
                first, first / first_base, sizes[0], second, second / second_base);
    fs::remove(library);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root = argc > 1 ? argv[1] : "/tmp/tunora-import-bench";
  const int big = argc > 2 ? std::stoi(argv[2]) : 2000;
  const std::string table = (root / "bench.mbf").string();
  if (argc > 3 && std::string(argv[3]) == "one") {
    fs::create_directories(root);
    std::vector<uint32_t> sizes = {10000, 100000};
    if (argc > 4) sizes.push_back(static_cast<uint32_t>(std::stoul(argv[4])));
    return oneFile(root, sizes);
  }

  std::printf("generating %d files of 4 MB (kept for later runs) ...\n", big);
  makeFolder(root / "big", big, 4u << 20);
  int64_t files = 0, added = 0;
  (void)timeMinimumReads(root / "big", &files);  // warm the page cache
  const double minimum = timeMinimumReads(root / "big", &files);
  const double ours = timeImport(root / "big", table, &added);
  std::printf(
      "4 MB files: import %lld in %.3f s (%.0f files/s); minimum reads %lld in %.3f s "
      "(%.0f files/s); import / minimum = %.2f\n",
      static_cast<long long>(added), ours, added / ours, static_cast<long long>(files), minimum,
      files / minimum, ours / minimum);

  std::printf("\nsmall files: time per file as the folder grows\n");
  for (int count : {1000, 5000, 20000}) {
    const fs::path folder = root / ("small-" + std::to_string(count));
    makeFolder(folder, count, 2048);
    (void)timeMinimumReads(folder, &files);
    const double seconds = timeImport(folder, table, &added);
    std::printf("%6d files: %.3f s, %.1f us per file\n", count, seconds, seconds * 1e6 / added);
  }
  fs::remove(table);
  return 0;
}
