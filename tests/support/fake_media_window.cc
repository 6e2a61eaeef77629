// The test media window: positions follow the Env's clock.
#include "tests/support/fake_media_window.h"

#include <algorithm>
#include <filesystem>
#include <limits>

namespace tunora::ui {

void FakeMediaWindow::setLength(const std::string& path, int64_t millis) {
  setLateLength(path, millis, 0);
}

void FakeMediaWindow::setLateLength(const std::string& path, int64_t millis, int64_t learned_at) {
  std::lock_guard lock(mu_);
  lengths_[path] = {millis, learned_at < 0 ? std::numeric_limits<int64_t>::max() : learned_at};
}

Status FakeMediaWindow::open(const std::string& path) {
  std::lock_guard lock(mu_);
  open_path_.clear();
  playing_ = false;
  int64_t length = -1;
  length_known_from_ = 0;
  if (auto it = lengths_.find(path); it != lengths_.end()) {
    length = it->second.millis;
    length_known_from_ = it->second.learned_at;
  } else if (std::error_code ec;
             default_length_ >= 0 && std::filesystem::is_regular_file(path, ec)) {
    length = default_length_;
  }
  if (length < 0) {
    calls_.push_back("open-failed " + path);
    return Status::NotFound(path + ": cannot be played");
  }
  calls_.push_back("open " + path);
  open_path_ = path;
  length_ = length;
  return Status::Ok();
}

void FakeMediaWindow::startAt(int64_t millis) {
  if (open_path_.empty()) return;
  playing_ = true;
  from_ = std::clamp<int64_t>(millis, 0, length_);
  started_at_ = env_.nowMillis();
}

int64_t FakeMediaWindow::positionLocked() const {
  if (open_path_.empty() || !playing_) return open_path_.empty() ? 0 : from_;
  const int64_t played = static_cast<int64_t>(env_.nowMillis() - started_at_);
  return std::min(length_, from_ + played);
}

int64_t FakeMediaWindow::endPosition() {
  std::lock_guard lock(mu_);
  if (open_path_.empty() || positionLocked() < length_known_from_) return 0;
  return length_;
}

bool FakeMediaWindow::ended() {
  std::lock_guard lock(mu_);
  // Media of unknown length (0) never reports its end, as a stream without a duration.
  if (open_path_.empty() || !playing_ || length_ == 0) return false;
  return from_ + static_cast<int64_t>(env_.nowMillis() - started_at_) >= length_;
}

void FakeMediaWindow::moveAndSize(const VideoArea& area) {
  std::lock_guard lock(mu_);
  calls_.push_back("move " + std::to_string(area.x) + " " + std::to_string(area.y) + " " +
                   std::to_string(area.width) + " " + std::to_string(area.height));
}

void FakeMediaWindow::close() {
  std::lock_guard lock(mu_);
  if (open_path_.empty()) return;
  calls_.push_back("close");
  open_path_.clear();
  playing_ = false;
  length_ = 0;
}

}  // namespace tunora::ui
