// The resume file.
#include "engine/resume_point.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "settings/file_read.h"
#include "util/atomic_file.h"

namespace tunora::engine {

namespace {

constexpr std::string_view kFirstLine = "Tunora resume 1";
constexpr size_t kMaxFileBytes = 4096;  // a path of 1000 bytes and three short lines fit
constexpr int32_t kStates = 10;

// The next line of `text` (without its "\n"); false when no complete line is left.
bool nextLine(std::string_view& text, std::string_view& line) {
  const size_t end = text.find('\n');
  if (end == std::string_view::npos) return false;
  line = text.substr(0, end);
  text.remove_prefix(end + 1);
  return true;
}

// The number after `key` and one blank on `line`; nullopt unless the rest is all digits.
std::optional<int64_t> numberAfter(std::string_view line, std::string_view key) {
  if (line.size() <= key.size() + 1 || line.substr(0, key.size()) != key ||
      line[key.size()] != ' ') {
    return std::nullopt;
  }
  const std::string_view digits = line.substr(key.size() + 1);
  int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || ptr != digits.data() + digits.size() || digits.front() == '-') {
    return std::nullopt;
  }
  return value;
}

bool keepable(const ResumePoint& point) {
  return point.state >= 0 && point.state < kStates && point.position_ms > 0 &&
         !point.path.empty() && point.path.find('\n') == std::string::npos &&
         point.path.find('\0') == std::string::npos;
}

}  // namespace

std::optional<std::string> resumeFileText(const ResumePoint& point) {
  if (!keepable(point)) return std::nullopt;
  return std::string(kFirstLine) + "\nstate " + std::to_string(point.state) + "\nposition " +
         std::to_string(point.position_ms) + "\npath " + point.path + "\n";
}

std::optional<ResumePoint> parseResumeFile(std::string_view text) {
  std::string_view line;
  if (!nextLine(text, line) || line != kFirstLine) return std::nullopt;
  ResumePoint point;
  if (!nextLine(text, line)) return std::nullopt;
  const std::optional<int64_t> state = numberAfter(line, "state");
  if (!nextLine(text, line)) return std::nullopt;
  const std::optional<int64_t> position = numberAfter(line, "position");
  if (!state || !position || *state >= kStates) return std::nullopt;
  point.state = static_cast<int32_t>(*state);
  point.position_ms = *position;
  constexpr std::string_view kPathKey = "path ";
  if (!nextLine(text, line) || line.substr(0, kPathKey.size()) != kPathKey || !text.empty()) {
    return std::nullopt;
  }
  point.path = std::string(line.substr(kPathKey.size()));
  if (!keepable(point)) return std::nullopt;
  return point;
}

std::optional<ResumePoint> readResumePoint(const std::string& data_dir) {
  const auto bytes = readFilePrefix(data_dir + kResumeFileName, kMaxFileBytes + 1);
  if (!bytes || bytes->size() > kMaxFileBytes) return std::nullopt;
  return parseResumeFile(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

Status writeResumePoint(const std::string& data_dir, const std::optional<ResumePoint>& point) {
  const std::string path = data_dir + kResumeFileName;
  const std::optional<std::string> text = point ? resumeFileText(*point) : std::nullopt;
  if (!text) {
    if (std::remove(path.c_str()) != 0 && errno != ENOENT) {
      return Status::IOError(path + ": " + std::strerror(errno));
    }
    return Status::Ok();
  }
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text->data()),
                                       text->size());
  const std::span<const uint8_t> parts[] = {bytes};
  return replaceFile(path, parts);
}

}  // namespace tunora::engine
