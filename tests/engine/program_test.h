// The program in virtual time (ProgramRun, no thread started) over a song table whose slots 1..3
// hold songs with FileIds 101..103 and play count 0.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/fake_media_window.h"
#include "tests/support/program_run.h"
#include "tests/support/song_library.h"
#include "tests/support/stored_fields.h"

namespace tunora::testing {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(made_); }
  uint32_t playCount(int32_t slot) { return storedNumber(path_, slot, kColPlayCount); }

  TempDir dir_;
  std::string path_ = dir_.file("Tunora.mbf");
  bool made_ = writeLibrary(path_, {{.file_id = 101}, {.file_id = 102}, {.file_id = 103}});
  FakeEnv env_;
  ui::FakeMediaWindow media_{env_};
  ProgramRun run_{env_, media_, dir_.path().string() + "/", [](Settings&) {}};
  Program& program_ = run_.program();
  RecordingWindow& window_ = run_.window();
};

}  // namespace tunora::testing
