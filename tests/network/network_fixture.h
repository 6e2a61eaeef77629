// A folder standing in for the share, the computers that use it in network mode, and scripted
// message dialogs.
#pragma once

#include <gtest/gtest.h>

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

// One computer in network mode: its settings naming the share's file, its local copy at `local`,
// and the library opening over them.
struct Computer {
  Computer(std::string share_path, const std::string& local, bool quick = false)
      : share(std::move(share_path)) {
    settings.setText(settings::kDatabasePath, share);
    context.local_copy_path = local;
    context.network_refresh_counter = network::kStartUpCounter;
    library.setQuickPaths(quick);
  }
  std::string share;
  Settings settings;
  network::NetworkContext context;
  engine::SharedWords words;
  ScriptedMessageDialog dialogs;
  network::FileCopier copier;
  marlbase::TableHandle table;
  network::LocalCopyLibrary library{table, settings, context, words, dialogs, copier};
};

// The share holds a song table of 30 songs (slot i has FileId 100 + i); this computer's local
// copy is beside the share's folder.
class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(share_dir_);
    ASSERT_TRUE(makeLibrary(share_, numberedSongs(30)));
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
  std::filesystem::path share_dir_ = dir_.path() / "share";
  std::string share_ = (share_dir_ / "Tunora.mbf").string();
  Computer me_{share_, dir_.file("Local.mbf")};
  Settings& settings_ = me_.settings;
  network::NetworkContext& context_ = me_.context;
  engine::SharedWords& words_ = me_.words;
  ScriptedMessageDialog& dialogs_ = me_.dialogs;
  network::FileCopier& copier_ = me_.copier;
  marlbase::TableHandle& table_ = me_.table;
  network::LocalCopyLibrary& library_ = me_.library;
};

}  // namespace tunora::testing
