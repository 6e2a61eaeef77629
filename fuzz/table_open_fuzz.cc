// Fuzz target: arbitrary bytes opened as a table, then walked, looked up, grown and sorted.
// Nothing may read or write outside the file, whatever its header says.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "marlbase/table_handle.h"

using tunora::marlbase::TableHandle;

namespace {

void exercise(TableHandle& t) {
  for (int32_t s = t.firstWithStatus(10, 0), n = 0; s >= 0 && n < 64; ++n) {
    for (int32_t c = 1; c <= t.columnCount() && c <= 8; ++c) (void)t.readField(s, c);
    const int32_t next = t.nextLive(s);
    if (next == s) break;
    s = next;
  }
  (void)t.previousLive(t.lastLive());
  (void)t.nthLive(3);
  (void)t.firstWithStatus(5, 0);
  t.setSearchKey("a");
  (void)t.findInColumn(1);
  (void)t.findInColumnFrom(0, t.columnCount());
  (void)t.findNext(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  const int fd = memfd_create("table", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  TableHandle t;
  t.setPath(path);
  if (t.open().ok()) {
    exercise(t);
    t.close();
    t.setWritable(true);
    if (t.openWithMaintenance().ok()) {
      const int32_t slot = t.allocate();
      if (slot >= 0) (void)t.writeText(slot, 1, "fuzz");
      (void)t.setStatus(1, 5);
      (void)t.sortByColumn(1, "");
      exercise(t);
    }
    t.close();
  }
  close(fd);
  return 0;
}
