// Fuzz target: arbitrary bytes beside a table as the sort image a killed sort left, and as
// zero-run codes. The opener must write in only a whole image that fits the table, never read or
// write outside the image, the table or its buffers, and the table must open afterwards.
//
// Each input is tried three ways: the bytes as the image; a whole image (made once by a sort of a
// small table, caught before it is written in) with the bytes laid over it at the offset their
// first four bytes name, its header's checksum made right so that its fields are reached; and
// the bytes as a run of codes for a record size their first byte names.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "marlbase/format.h"
#include "marlbase/table_handle.h"
#include "marlbase/zero_runs.h"

using namespace tunora::marlbase;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), {});
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// A small table with free slots among its records, its bytes, and the whole image of its sort.
struct Fixture {
  std::string folder;
  std::string path;
  Bytes table;
  Bytes image;

  Fixture() {
    char name[] = "/tmp/tunora-sort-image-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    folder = name;
    path = folder + "/t.mbf";
    TableHandle t;
    t.setPath(path);
    t.setColumnCount(3);
    if (!t.create().ok() || !t.defineColumn(1, 12) || !t.defineColumn(2, 2) ||
        !t.defineColumn(3, 13) || !t.finishColumns()) {
      std::abort();
    }
    t.close();
    t.setWritable(true);
    if (!t.open().ok()) std::abort();
    for (uint32_t i = 0; i < 40; ++i) {
      const int32_t slot = t.allocate();
      if (slot < 0 || !t.writeText(slot, 1, "song " + std::to_string((i * 7919) % 40)) ||
          !t.writeInt(slot, 2, i) || !t.writeText(slot, 3, std::string(i * 5, 'x'))) {
        std::abort();
      }
    }
    for (int32_t s = 3; s < 40; s += 5) (void)t.setStatus(s, kStatusDeleted);
    t.close();
    table = readFile(path);
    t.setWritable(true);  // a close makes the handle a reader again
    if (!t.open().ok()) std::abort();
    const std::string image_path = sortImagePathFor(path);
    t.TEST_setCrashPoint([&] {
      if (!image.empty() || !std::filesystem::exists(image_path)) return;
      const Bytes bytes = readFile(image_path);
      if (bytes.size() > 4 && std::memcmp(bytes.data(), "SORT", 4) == 0) image = bytes;
    });
    if (t.sortByColumn(1, "") != 1 || image.empty()) std::abort();
    t.close();
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

// The table as it was, `image` beside it, then an open: the table must open and read.
void openWith(const Fixture& f, const Bytes& image) {
  writeFile(f.path, f.table);
  writeFile(sortImagePathFor(f.path), image);
  TableHandle t;
  t.setPath(f.path);
  if (!t.open().ok()) std::abort();
  for (int32_t s = t.firstWithStatus(10, 0); s >= 0;) {
    (void)t.readField(s, 1);
    const int32_t next = t.nextLive(s);
    if (next <= s) break;
    s = next;
  }
  t.close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Fixture fixture;
  if (size > (1 << 16)) return 0;
  openWith(fixture, Bytes(data, data + size));
  if (size >= 4) {
    Bytes image = fixture.image;
    const size_t at = loadU32(data) % image.size();
    for (size_t i = 4; i < size && at + i - 4 < image.size(); ++i) image[at + i - 4] = data[i];
    storeU32(image.data() + 60, fnv1a32(image.data(), 60));
    openWith(fixture, image);
  }
  if (size >= 1) {
    const uint32_t record_size = 1 + data[0] % 200;
    Bytes record(record_size);
    const uint8_t* at = data + 1;
    while (decodeZeroRuns(&at, data + size, record_size, record.data())) {
    }
  }
  return 0;
}
