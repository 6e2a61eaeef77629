// A folder standing in for the share, a local copy beside it, and scripted message dialogs.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/shared_words.h"
#include "library/song_columns.h"
#include "marlbase/table_handle.h"
#include "network/local_copy_library.h"
#include "network/network_context.h"
#include "settings/settings.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/song_library.h"

namespace tunora::testing {

// Writes `count` songs into a new song table at `path`: slot i has FileId 100 + i.
inline bool writeSongs(const std::string& path, int count) {
  return makeLibrary(path, numberedSongs(count));
}

class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    share_dir_ = dir_.path() / "share";
    std::filesystem::create_directories(share_dir_);
    share_ = (share_dir_ / "Tunora.mbf").string();
    ASSERT_TRUE(writeSongs(share_, 30));
    settings_.setText(settings::kDatabasePath, share_);
    context_.local_copy_path = dir_.file("Local.mbf");
    context_.network_refresh_counter = network::kStartUpCounter;
  }
  // Writes one field straight into the share's file, as another computer would.
  void editShare(int32_t slot, uint32_t value) {
    marlbase::TableHandle t;
    t.setPath(share_);
    t.setWritable(true);
    ASSERT_TRUE(t.open().ok());
    ASSERT_TRUE(t.writeInt(slot, kColPlayCount, value));
    t.close();
  }
  std::optional<uint32_t> playCountRead(int32_t slot) {
    library_.openLibraryForReading();
    if (!table_.isOpen()) return std::nullopt;
    auto v = table_.readInt(slot, kColPlayCount);
    table_.close();
    return v;
  }

  TempDir dir_;
  std::filesystem::path share_dir_;
  std::string share_;
  Settings settings_;
  network::NetworkContext context_;
  engine::SharedWords words_;
  ScriptedMessageDialog dialogs_;
  network::FileCopier copier_;
  marlbase::TableHandle table_;
  network::LocalCopyLibrary library_{table_, settings_, context_, words_, dialogs_, copier_};
};

}  // namespace tunora::testing
