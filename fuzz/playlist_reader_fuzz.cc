// Fuzz target: the playlist reader on arbitrary file contents, fed in two pieces split where the
// first byte says, so that lines broken across reads are exercised.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "media/playlist_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = data[0] % (text.size() + 1);
  tunora::media::ListReader reader("/lists/", [](const std::string& path) {
    if (path.size() < 3 || path.size() > tunora::media::kListLineMax) __builtin_trap();
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) __builtin_trap();
  });
  reader.feed(text.substr(0, split));
  reader.feed(text.substr(split));
  reader.finish();
  return 0;
}
