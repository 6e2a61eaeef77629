// Reading and writing playlist files.
#include "media/playlist_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "media/path_helpers.h"
#include "settings/settings_file.h"
#include "util/atomic_file.h"

namespace tunora::media {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kFileScheme = "file://";
constexpr size_t kReadChunk = 64 * 1024;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%41" -> "A"; a "%" not followed by two hex digits stays as it is.
std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool hasScheme(std::string_view line) {
  const size_t colon = line.find("://");
  if (colon == std::string_view::npos || colon == 0) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = line[i];
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    if (!ok) return false;
  }
  return true;
}

// The path a line names, or "" when it names none that can be used.
std::string resolveLine(std::string_view line, std::string_view list_folder) {
  if (line.starts_with(kFileScheme)) {
    std::string_view rest = line.substr(kFileScheme.size());
    if (rest.starts_with("localhost/")) rest.remove_prefix(9);
    if (!rest.starts_with("/")) return {};  // a file on another host
    std::string path = percentDecode(rest);
    // An escaped line end or NUL cannot be part of a path we store.
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) return {};
    return path;
  }
  if (line.front() == '/' || list_folder.empty() || hasScheme(line)) return std::string(line);
  std::filesystem::path joined(std::string(list_folder) + std::string(line));
  return joined.lexically_normal().string();
}

}  // namespace

ListReader::ListReader(std::string list_folder, ListLineFn on_line)
    : list_folder_(std::move(list_folder)), on_line_(std::move(on_line)) {}

void ListReader::feed(std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\r' || c == '\n') {
      endLine();
    } else if (line_.size() < kListLineMax + kUtf8Bom.size()) {
      line_ += c;
    } else {
      overflow_ = true;
    }
  }
}

void ListReader::finish() { endLine(); }

void ListReader::endLine() {
  std::string_view line = line_;
  if (first_line_ && line.starts_with(kUtf8Bom)) line.remove_prefix(kUtf8Bom.size());
  first_line_ = false;
  // A NUL cannot be stored in a path: such a line is not a path (it is most likely not text).
  if (!overflow_ && line.size() > 2 && line.size() <= kListLineMax && line.front() != '#' &&
      line.find('\0') == std::string_view::npos) {
    const std::string path = resolveLine(line, list_folder_);
    if (path.size() > kListLineMax) ++long_lines_;
    if (path.size() > 2 && path.size() <= kListLineMax) on_line_(path);
  } else if (overflow_ || line.size() > kListLineMax) {
    ++long_lines_;
  }
  line_.clear();
  overflow_ = false;
}

Status readListFile(const std::string& path, const ListLineFn& on_line,
                    const std::atomic<bool>* abort, int64_t* long_lines) {
  // Non-blocking, so that a FIFO cannot hold the reader (and whatever lock its caller holds).
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Status::IOError("cannot open " + path + ": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::InvalidArgument(path + " is not a regular file");
  }
  const std::string folder = path.find('/') == std::string::npos ? "" : parentFolderOf(path);
  bool stopped = false;
  ListReader reader(folder, [&](const std::string& line) {
    if (abort != nullptr && abort->load()) stopped = true;
    if (!stopped) on_line(line);
  });
  std::array<char, kReadChunk> chunk;
  Status status;
  while (!stopped) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      status = Status::IOError("cannot read " + path + ": " + std::strerror(errno));
      break;
    }
    if (n == 0) {
      reader.finish();
      break;
    }
    reader.feed(std::string_view(chunk.data(), static_cast<size_t>(n)));
  }
  ::close(fd);
  if (long_lines != nullptr) *long_lines += reader.longLinesSkipped();
  return status;
}

Status writePlayList(const std::string& path, const std::vector<std::string>& paths,
                     const ReplaceOptions& options) {
  FileReplacement out(path, options);
  for (const auto& p : paths) {
    if (p.find_first_of("\r\n") != std::string::npos) continue;
    if (Status s = out.write(p + "\r\n"); !s.ok()) return s;
  }
  return out.commit();
}

std::string playListFileName(std::string_view data_dir, int32_t state) {
  std::string name(data_dir);
  if (!name.empty() && name.back() != '/') name += '/';
  return name + statePlayListName(state);
}

}  // namespace tunora::media
