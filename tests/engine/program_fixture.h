// A program object over a small song table in a temporary folder, with a window that records
// the commands posted to it.
#pragma once

#include <gtest/gtest.h>

#include "app/program.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {

class ProgramTest : public ::testing::Test {
 protected:
  // Slots 1..3 hold songs with FileIds 101, 102, 103 and play count 0.
  void SetUp() override {
    path_ = dir_.file("Tunora.mbf");
    marlbase::TableHandle table;
    ASSERT_TRUE(createSongTable(table, path_));
    for (uint32_t i = 1; i <= 3; ++i) {
      int32_t slot = table.allocate();
      ASSERT_EQ(slot, static_cast<int32_t>(i));
      ASSERT_TRUE(table.writeInt(slot, kColFileId, 100 + i));
      ASSERT_TRUE(table.writeInt(slot, kColPlayCount, 0));
    }
    table.close();
    program_.settings().setText(settings::kDatabasePath, path_);
    program_.attachWindow(&window_);
  }
  void TearDown() override {
    // Wake whatever still sleeps, then let the program object join its threads.
    program_.words().stopping.store(1);
    ClockDriver clock(env_, std::chrono::milliseconds(1000));
    program_.stopThreads();
    program_.attachWindow(nullptr);
  }
  std::optional<uint32_t> playCount(int32_t slot) {
    marlbase::TableHandle table;
    table.setPath(path_);
    if (!table.open().ok()) return std::nullopt;
    return table.readInt(slot, kColPlayCount);
  }

  TempDir dir_;
  std::string path_;
  FakeEnv env_;
  RecordingWindow window_;
  Program program_{env_};
};

}  // namespace tunora::testing
