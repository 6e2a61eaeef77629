// A media window for tests: plays in the Env's time. A file "plays" when the fake knows its
// length (setLength) or, with a default length set, when it exists on disk; anything else fails
// to open. Every call is recorded for the test to inspect. Thread-safe, so a test may look while
// the player thread drives it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media_window.h"
#include "util/env.h"

namespace tunora::ui {

class FakeMediaWindow final : public MediaWindow {
 public:
  explicit FakeMediaWindow(Env& env) : env_(env) {}

  // The length of the file at `path`; 0 makes it open with an unknown length. The last of
  // setLength and setLateLength for a path counts.
  void setLength(const std::string& path, int64_t millis);
  // A file that opens without a known length: endPosition() says 0 until the position reaches
  // `learned_at` (never when it is -1), and the media ends at `millis`, as a stream whose
  // duration the back end learns while it plays, or not at all.
  void setLateLength(const std::string& path, int64_t millis, int64_t learned_at);
  // The length of any existing file not named by setLength; -1 (the default): such files fail.
  void setDefaultLength(int64_t millis) {
    locked([&] { default_length_ = millis; });
  }

  Status open(const std::string& path) override;
  bool isOpen() const override { return !openPath().empty(); }
  void play() override {
    record("play", [&] { startAt(0); });
  }
  void playFrom(int64_t millis) override {
    record("playFrom " + std::to_string(millis), [&] { startAt(millis); });
  }
  void playFullScreen() override {
    record("fullscreen", [&] { startAt(0); });
  }
  int64_t position() override {
    return locked([&] { return positionLocked(); });
  }
  int64_t endPosition() override;
  // Once the position has reached the length while playing.
  bool ended() override;
  // Recorded as "prepare PATH"; the fake opens at once anyway.
  void prepare(const std::string& path) override { record("prepare " + path); }
  std::string outputProblem() override {
    return locked([&] { return output_problem_; });
  }
  // What outputProblem() says from now on.
  void setOutputProblem(const std::string& problem) {
    locked([&] { output_problem_ = problem; });
  }
  void show() override { record("show"); }
  void hide() override { record("hide"); }
  void moveAndSize(const VideoArea& area) override;
  // Recorded as "volume LEVEL" (LEVEL in thousandths).
  void setVolume(double level) override {
    record("volume " + std::to_string(static_cast<int64_t>(level * 1000 + 0.5)));
  }
  void close() override;

  // The calls made, in order, e.g. "open /m/a.wav", "playFrom 1500", "fullscreen", "show",
  // "hide", "move 400 30 300 200", "close"; opening failures read "open-failed /m/a.wav".
  std::vector<std::string> calls() const {
    return locked([&] { return calls_; });
  }
  void clearCalls() {
    locked([&] { calls_.clear(); });
  }
  // The file open now; empty when none.
  std::string openPath() const {
    return locked([&] { return open_path_; });
  }

 private:
  template <class F>
  auto locked(F f) const -> decltype(f()) {
    std::lock_guard lock(mu_);
    return f();
  }
  // Records `call` and runs `then`, with mu_ held.
  void record(
      const std::string& call, const std::function<void()>& then = [] {}) {
    locked([&] { calls_.push_back(call), then(); });
  }
  void startAt(int64_t millis);  // with mu_ held
  int64_t positionLocked() const;

  struct Length {
    int64_t millis;
    int64_t learned_at;  // the position from which endPosition() tells it
  };

  Env& env_;
  mutable std::mutex mu_;
  std::map<std::string, Length> lengths_;
  int64_t default_length_ = -1;
  std::string open_path_;
  int64_t length_ = 0;
  // The position from which endPosition() reports the length.
  int64_t length_known_from_ = 0;
  bool playing_ = false;
  int64_t from_ = 0;
  uint64_t started_at_ = 0;
  std::string output_problem_;
  std::vector<std::string> calls_;
};

}  // namespace tunora::ui
