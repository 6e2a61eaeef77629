// The library-opening operations with "Network" off, and the seam that Network mode uses.
#include "network/library_opening.h"

#include <gtest/gtest.h>

#include "tests/support/song_library.h"

namespace tunora::network {
namespace {

class CountingNetwork final : public NetworkLibrary {
 public:
  void openLibraryForReading() override { ++reads; }
  bool openLibraryForWriting() override {
    ++writes;
    return true;
  }
  void closeLibraryAfterWriting() override { ++closes; }
  int reads = 0, writes = 0, closes = 0;
};

class LibraryOpeningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.file("Tunora.mbf");
    marlbase::TableHandle table;
    ASSERT_TRUE(createSongTable(table, path_));
    table.close();
    settings_.setText(settings::kDatabasePath, path_);
  }

  testing::TempDir dir_;
  std::string path_;
  Settings settings_;
  marlbase::TableHandle table_;
  LibraryOpening library_{table_, settings_};
};

// With "Network" off the opens go to the database path, for reading or for writing (no other
// opener gets in then); a missing library leaves the handle closed. With it on, every open goes
// through the network library.
TEST_F(LibraryOpeningTest, OpensUseTheDatabasePathOrTheNetworkSeam) {
  CountingNetwork network;
  library_.setNetworkLibrary(&network);
  library_.openLibraryForReading();
  ASSERT_TRUE(table_.isOpen());
  EXPECT_FALSE(table_.writable());
  table_.close();
  ASSERT_TRUE(library_.openLibraryForWriting());
  EXPECT_TRUE(table_.writable());
  marlbase::TableHandle other;
  other.setPath(path_);
  EXPECT_FALSE(other.open().ok());
  library_.closeLibraryAfterWriting();
  EXPECT_FALSE(table_.isOpen());
  EXPECT_TRUE(other.open().ok());
  EXPECT_EQ(network.reads + network.writes + network.closes, 0);

  settings_.set(settings::kNetwork, 1);
  library_.openLibraryForReading();
  EXPECT_TRUE(library_.openLibraryForWriting());
  library_.closeLibraryAfterWriting();
  EXPECT_EQ(network.reads, 1);
  EXPECT_EQ(network.writes, 1);
  EXPECT_EQ(network.closes, 1);
  EXPECT_FALSE(table_.isOpen());

  settings_.set(settings::kNetwork, 0);
  settings_.setText(settings::kDatabasePath, dir_.file("missing.mbf"));
  library_.openLibraryForReading();
  EXPECT_FALSE(table_.isOpen());
  EXPECT_FALSE(library_.openLibraryForWriting());
  EXPECT_FALSE(table_.isOpen());
}

}  // namespace
}  // namespace tunora::network
