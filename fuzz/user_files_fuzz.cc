// Fuzz target: the files a user names, as whatever kind of file they turn out to be. The first
// byte picks the kind (a regular file holding the rest of the bytes, a link to it, a FIFO with no
// writer, a folder, /dev/zero); every reader of a named file (the --settings reader, the playlist
// reader, the tag reader, the content checksum, the settings file prefix) must refuse anything but
// a regular file at once, without waiting on it or reading it, and the settings reader must take
// a regular file only when it starts with a settings header.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/settings_input.h"
#include "library/file_checksum.h"
#include "media/playlist_file.h"
#include "media/tag_reader.h"
#include "settings/file_read.h"
#include "settings/settings_defaults.h"
#include "settings/settings_file.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

enum Kind { kRegular, kLink, kFifo, kFolder, kDevZero, kKinds };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tunora;
  if (size == 0) return 0;
  const Kind kind = static_cast<Kind>(data[0] % kKinds);
  const uint8_t* body = data + 1;
  const size_t body_size = size - 1;

  char folder[] = "/tmp/tunora-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 0;
  const std::string file = std::string(folder) + "/named.m3u";
  const std::string regular = std::string(folder) + "/regular";
  if (FILE* f = std::fopen(regular.c_str(), "wb")) {
    std::fwrite(body, 1, body_size, f);
    std::fclose(f);
  }
  std::string path = file;
  switch (kind) {
    case kRegular:
      path = regular;
      break;
    case kLink:
      check(symlink(regular.c_str(), file.c_str()) == 0);
      break;
    case kFifo:
      check(mkfifo(file.c_str(), 0600) == 0);
      break;
    case kFolder:
      check(mkdir(file.c_str(), 0700) == 0);
      break;
    case kDevZero:
      path = "/dev/zero";
      break;
    case kKinds:
      break;
  }
  const bool is_regular = kind == kRegular || kind == kLink;

  Settings settings;
  std::string error;
  const bool taken = cli::readSettingsArgument(path, true, settings, error);
  if (taken) {
    check(is_regular && body_size >= 5 && std::memcmp(body, "TUNO1", 5) == 0);
  } else {
    check(!error.empty());
    Settings defaults;
    resetAll(defaults);
    resetRatingValues(defaults);
    // A refused file leaves the defaults.
    check(std::memcmp(settings.image().data(), defaults.image().data(), settings.image().size()) ==
          0);
  }

  const auto prefix = readFilePrefix(path, kSettingsFileSize);
  check(prefix.has_value() == is_regular);
  if (prefix) check(prefix->size() == std::min(body_size, kSettingsFileSize));

  size_t lines = 0;
  const Status list = media::readListFile(path, [&](const std::string&) { ++lines; });
  check(list.ok() == is_regular);

  media::TagRecord tags;
  check(media::readTags(path, tags) == is_regular);
  if (!is_regular) check(fileChecksum(path) == 0);

  unlink(regular.c_str());
  if (kind == kFolder) {
    rmdir(file.c_str());
  } else {
    unlink(file.c_str());
  }
  rmdir(folder);
  return 0;
}
