// The pieces the window's work runs on, without the program object: a song table of 12 songs in
// a temporary data folder, the settings pointing at it, the shared lock over a FakeEnv, the play
// list, and a request executor whose handlers the tests fill.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/play_list.h"
#include "engine/request_executor.h"
#include "engine/shared_lock.h"
#include "engine/shared_words.h"
#include "engine/status_message.h"
#include "marlbase/table_handle.h"
#include "network/library_opening.h"
#include "settings/settings.h"
#include "tests/support/fake_env.h"
#include "tests/support/song_library.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {

class WorkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_path_ = dir_.file("Tunora.mbf");
    ASSERT_TRUE(makeLibrary(library_path_, numberedSongs(12)));
    settings_.setText(settings::kDatabasePath, library_path_);
  }

  std::string dataDir() const { return dir_.path().string() + "/"; }
  // A row as the list builder makes it for song i of the library.
  static engine::PlayListRow songRow(int i) {
    return {"Title " + std::to_string(i), "Artist", "Album",
            "/lib/song" + std::to_string(i) + ".mp3", "Audio"};
  }
  void fillList(std::initializer_list<int> songs) {
    for (int i : songs) play_list_.append(songRow(i));
  }
  std::vector<std::string> listPaths() const {
    std::vector<std::string> paths;
    for (const engine::PlayListRow& row : play_list_.rows()) paths.push_back(row[3]);
    return paths;
  }
  std::string fileText(const std::string& name) const {
    std::vector<uint8_t> bytes = readBytes(dir_.file(name));
    return {bytes.begin(), bytes.end()};
  }
  bool fileExists(const std::string& name) const {
    return std::filesystem::exists(dir_.file(name));
  }
  // Posts a window request and runs the executor on this thread: the handler runs now.
  int32_t runRequest(int32_t code, int32_t parameter) {
    if (lock_.postRequest(code, parameter, 10) != 1) return 0;
    return executor_.run();
  }

  TempDir dir_;
  std::string library_path_;
  FakeEnv env_;
  Settings settings_;
  engine::SharedWords words_;
  engine::SharedLock lock_{words_, env_};
  marlbase::TableHandle table_;
  network::LibraryOpening library_{table_, settings_};
  engine::PlayList play_list_;
  engine::StatusMessage status_;
  engine::RequestExecutor executor_{lock_};
};

}  // namespace tunora::testing
