// A program object with the window side's parts faked: the window's actions and dialogs are
// recorded, and so is what is posted to the window's command channel.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "player/player_state.h"
#include "tests/support/clock_driver.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_message_dialog.h"
#include "ui/command_dispatch.h"
#include "ui/window_actions.h"
#include "ui/window_state.h"

namespace tunora::testing {

class FakeActions final : public ui::WindowActions {
 public:
  bool dialogOpen(ui::WindowDialog) override { return false; }
  void openSearch(ui::SearchMode mode, const std::string& artist) override {
    note("search " + artist, static_cast<int32_t>(mode));
  }
  void openDatabaseDialog() override { note("database"); }
  void openOptionsDialog() override { note("options"); }
  void openSongDetails(int32_t record) override { note("details", record); }
  void openAbout() override { note("about"); }
  std::optional<int32_t> showRateKeypad() override { return note("keypad"), keypad_answer; }
  void launchFiller() override { note("filler"); }
  void setPlayButtonImage(int32_t image) override { note("image", image); }
  void minimize() override { note("minimize"); }
  void showMaximized() override { note("maximized"); }
  void applyOnTop(bool on_top) override { note("on top", on_top); }
  void repaintAll() override { note("repaint"); }
  void destroyWindow() override { note("destroy"); }
  void startStateSwitch(int32_t state) override { note("switch", state); }
  int32_t focusedRow() override { return -1; }

  // "NAME" or "NAME NUMBER", in the order called.
  std::vector<std::string> calls;
  std::optional<int32_t> keypad_answer;

 private:
  void note(const std::string& name, int32_t number = -1) {
    calls.push_back(number < 0 ? name : name + " " + std::to_string(number));
  }
};

// Public, so that a table row may set up a fresh one.
class UiTest : public ::testing::Test {
 public:
  // Stops the threads a test started, moving the clock meanwhile.
  void TearDown() override {
    words().stopping.store(1);
    ClockDriver clock(env_, std::chrono::milliseconds(1000));
    program_.stopThreads();
  }
  engine::SharedWords& words() { return program_.words(); }
  Settings& settings() { return program_.settings(); }
  // Runs `body` on a counted thread, handing the lock's grant over whenever `hand_over` holds, in
  // virtual time; true when it ended.
  bool runHandingOver(
      const std::function<void()>& body,
      const std::function<bool()>& hand_over = [] { return true; }) {
    std::atomic<bool> finished{false};
    EnvThread thread(env_, [&] {
      body();
      finished.store(true);
    });
    const bool ended = driveUntil(env_, [&] {
      if (hand_over()) (void)program_.lock().handOver();
      return finished.load();
    });
    if (!ended) words().stopping.store(1);  // let a stuck thread go before the join
    return ended;
  }

  FakeEnv env_;
  Program program_{env_};
  player::PlayerState player_;
  ui::WindowState window_state_;
  FakeActions actions_;
  ScriptedMessageDialog dialog_;
  RecordingWindow channel_;
  ui::CommandDispatcher dispatcher_{
      ui::CommandParts{program_.lock(), program_.settings(), program_.playList(), program_.status(),
                       player_, program_.context(), program_.updateWriter(), program_.updateQueue(),
                       window_state_, actions_, dialog_, channel_}};
};

}  // namespace tunora::testing
