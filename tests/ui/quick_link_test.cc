// Quick-link lists over a real song table: best rated first for the state's user, 25 at most,
// the line texts, the walk yielding to a waiting request, Diagnostics, and a list dropped when a
// reload was asked for while it was built. The builder runs on a thread of its own and gets its
// grant from the lock's handover, in virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "media/record_fields.h"
#include "tests/support/clock_driver.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_fixture.h"
#include "ui/command_numbers.h"
#include "ui/quick_link_builder.h"

namespace tunora::ui {
namespace {

struct Song {
  std::string title;
  std::string album;
  int32_t rating = 0;  // for user `user` (others get rating 1)
  std::string path;
  bool deleted = false;
};

class QuickLinkTest : public tunora::testing::UiTest {
 protected:
  static constexpr int32_t kUser = 3;

  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    path_ = dir_.folder() + "Tunora.mbf";
    settings().setText(settings::kDatabasePath, path_);
    for (uint32_t k = 0; k < 10; ++k) settings().set(settings::kRatingValue, k, 1 << k);
    settings().set(settings::kCurrentState, 2);
    settings().set(settings::kStateUser, 2, kUser);
    settings().set(settings::kShowRate, 1);
    settings().set(settings::kMarkVid, 1);
    settings().set(settings::kUpperRightView, kViewAlbum);
    words().playing.store(1);
    window_state_.client_width.store(800);
    window_state_.client_height.store(600);
  }

  // Writes the library: slot 0 blank, then the songs in slots 1, 2, ... Returns their slots.
  std::vector<int32_t> writeLibrary(const std::vector<Song>& songs) {
    marlbase::TableHandle table;
    EXPECT_TRUE(createSongTable(table, path_));
    std::vector<int32_t> slots;
    for (size_t i = 0; i < songs.size(); ++i) {
      const Song& song = songs[i];
      const int32_t slot = table.allocate();
      slots.push_back(slot);
      table.writeText(slot, kColFileName,
                      song.path.empty() ? "/music/" + std::to_string(i) + ".mp3" : song.path);
      table.writeText(slot, kColTitle, song.title);
      table.writeText(slot, kColAlbum, song.album);
      for (int32_t u = 0; u < kUserCount; ++u) {
        const int32_t rating = u == kUser ? song.rating : 1;
        table.writeInt(slot, ratingColumn(u), rating == 0 ? 0 : 1u << (rating - 1));
      }
    }
    for (size_t i = 0; i < songs.size(); ++i) {
      if (songs[i].deleted) table.setStatus(slots[i], 5);
    }
    table.close();
    return slots;
  }

  // The player's song as it knows it: its details, with its slot when the library has its path.
  void play(const std::string& title, const std::string& album, const std::string& path) {
    player::SongDetails song;
    song.title = title;
    song.album = album;
    marlbase::TableHandle table;
    table.setPath(path_);
    if (table.open().ok()) song.slot = media::findSongInTable(table, path);
    table.close();
    player_.setCurrent(song);
    player_.setPlayPath(path);
  }

  // Runs the builder on a thread and hands it grant 33 when it asks; true when it ended.
  bool runBuilder(QuickLinkBuilder& builder) {
    std::atomic<bool> finished{false};
    std::thread thread([&] {
      builder.run();
      finished.store(true);
    });
    const bool ended = tunora::testing::driveUntil(env_, [&] {
      if (words().request.load() == engine::kCodeQuickLinks) (void)program_.lock().handOver();
      return finished.load();
    });
    if (!ended) words().stopping.store(1);  // let a stuck builder go before the join
    thread.join();
    return ended;
  }

  bool rebuild(QuickLinkBuilder& builder) {
    window_state_.quick_links.markForReload();
    return runBuilder(builder);
  }

  // `on_first_repaint` runs at the first repaint (the first partial list shown).
  QuickLinkBuilder builder(std::function<void()> on_first_repaint = [] {}) {
    return QuickLinkBuilder(QuickLinkParts{program_.lock(), program_.library(), settings(), player_,
                                           window_state_, [=, this](const Rect& area) {
                                             repaints_.push_back(area);
                                             if (repaints_.size() == 1) on_first_repaint();
                                           }});
  }

  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (const QuickLinkEntry& entry : window_state_.quick_links.list().entries) {
      out.push_back(entry.text);
    }
    return out;
  }

  tunora::testing::TempDir dir_;
  std::string path_;
  std::vector<Rect> repaints_;
};

TEST_F(QuickLinkTest, FortySongsOfOneAlbumRatedTenShowTwentyFiveInTableOrder) {
  std::vector<Song> songs;
  for (int i = 0; i < 10; ++i) songs.push_back({"Low " + std::to_string(i), "Blue", 4});
  for (int i = 0; i < 40; ++i) songs.push_back({"Top " + std::to_string(i), "Blue", 10});
  songs.push_back({"Other", "Green", 10});
  const std::vector<int32_t> slots = writeLibrary(songs);
  play("Top 3", "blue", "/music/13.mp3");  // letter case does not matter; not listed itself

  QuickLinkBuilder b = builder();
  EXPECT_TRUE(b.wanted());
  ASSERT_TRUE(runBuilder(b));
  ASSERT_TRUE(window_state_.quick_links.loaded());
  const QuickLinkList list = window_state_.quick_links.list();
  EXPECT_EQ(list.header, "Other songs from this album");
  ASSERT_EQ(list.entries.size(), 25u);
  for (size_t i = 0; i < 25; ++i) {
    const size_t top = i < 3 ? i : i + 1;  // "Top 3" plays
    EXPECT_EQ(list.entries[i].text, "Top " + std::to_string(top) + " - 10");
    EXPECT_EQ(list.entries[i].record, slots[10 + top]);
  }
  EXPECT_EQ(words().grant.load(), 0);
  EXPECT_FALSE(b.busy());
  EXPECT_FALSE(b.wanted());  // loaded
  ASSERT_FALSE(repaints_.empty());
  EXPECT_EQ(repaints_.back(), (Rect{400, 30, 400, 370}));
}

TEST_F(QuickLinkTest, BestRatedFirstForTheStatesUserWithTheLineMarks) {
  const std::vector<int32_t> slots = writeLibrary({
      {"Five", "Blue", 5},
      {"Clip", "Blue", 10, "/video/Clip.AVI"},
      {"Gone", "Blue", 10, "", true},
      {"Zero", "Blue", 0},
      {"Seven", "Blue", 7},
      {"Other", "Green", 9},
  });
  play("Five", "Blue", "/music/0.mp3");
  QuickLinkBuilder b = builder();
  ASSERT_TRUE(runBuilder(b));
  EXPECT_EQ(texts(), (std::vector<std::string>{"Clip - 10 (V)", "Seven - 7", "Zero - 0"}));
  EXPECT_EQ(window_state_.quick_links.list().entries[0].record, slots[1]);

  // "Show Rate" off: bare titles; "Mark Vid" off: no mark.
  settings().set(settings::kShowRate, 0);
  ASSERT_TRUE(rebuild(b));
  EXPECT_EQ(texts(), (std::vector<std::string>{"Clip (V)", "Seven", "Zero"}));
  settings().set(settings::kMarkVid, 0);
  ASSERT_TRUE(rebuild(b));
  EXPECT_EQ(texts(), (std::vector<std::string>{"Clip", "Seven", "Zero"}));

  // Another user of the state sees other ratings (all 1 here): table order.
  settings().set(settings::kStateUser, 2, 0);
  ASSERT_TRUE(rebuild(b));
  EXPECT_EQ(texts(), (std::vector<std::string>{"Clip", "Zero", "Seven"}));
}

TEST_F(QuickLinkTest, AWaitingRequestStopsTheWalkAndThePartialListStays) {
  std::vector<Song> songs;
  for (int i = 0; i < 5; ++i) songs.push_back({"Ten " + std::to_string(i), "Blue", 10});
  for (int i = 0; i < 5; ++i) songs.push_back({"Nine " + std::to_string(i), "Blue", 9});
  writeLibrary(songs);
  play("Ten 0", "Blue", "/music/0.mp3");
  // After the first walk (five entries, more than 3) the partial list is shown; at that moment
  // another thread asks for the database.
  QuickLinkBuilder b = builder([this] { words().request.store(engine::kCodeSearchWindow); });
  ASSERT_TRUE(runBuilder(b));
  EXPECT_EQ(texts(),
            (std::vector<std::string>{"Ten 1 - 10", "Ten 2 - 10", "Ten 3 - 10", "Ten 4 - 10"}));
  EXPECT_TRUE(window_state_.quick_links.loaded());
  EXPECT_EQ(words().request.load(), engine::kCodeSearchWindow);  // left for its owner
  EXPECT_EQ(words().grant.load(), 0);

  // Without the request the walk goes on through rating 9.
  words().request.store(0);
  QuickLinkBuilder whole = builder();
  ASSERT_TRUE(rebuild(whole));
  EXPECT_EQ(texts().size(), 9u);
}

TEST_F(QuickLinkTest, DiagnosticsShowsThePlayPathInEitherView) {
  writeLibrary({{"Song", "Blue", 10}});
  play("Song", "Blue", "/music/0.mp3");
  settings().set(settings::kUpperRightView, kViewDiagnostics);
  QuickLinkBuilder b = builder();
  ASSERT_TRUE(runBuilder(b));
  QuickLinkList list = window_state_.quick_links.list();
  EXPECT_EQ(list.header, "Diagnostics");
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_EQ(list.entries[0].text, "/music/0.mp3");
  EXPECT_EQ(list.entries[0].record, -1);  // a click on it plays nothing

  // The lower-left view's list wins, and its area is the left half.
  settings().set(settings::kUpperRightView, kViewCover);
  settings().set(settings::kLowerLeftView, kViewDiagnostics);
  ASSERT_TRUE(rebuild(b));
  list = window_state_.quick_links.list();
  EXPECT_EQ(list.header, "Diagnostics");
  EXPECT_EQ(list.entries.at(0).text, "/music/0.mp3");
  EXPECT_EQ(repaints_.back(), (Rect{0, 30, 400, 370}));
}

TEST_F(QuickLinkTest, AListBuiltForAnOldSongIsDroppedWhenAReloadWasAsked) {
  std::vector<Song> songs;
  for (int i = 0; i < 5; ++i) songs.push_back({"Ten", "Blue", 10});
  for (int i = 0; i < 5; ++i) songs.push_back({"Nine", "Blue", 9});
  writeLibrary(songs);
  play("Ten", "Blue", "/music/0.mp3");
  // The player starts a new song while the list grows.
  QuickLinkBuilder b = builder([this] { window_state_.quick_links.markForReload(); });
  ASSERT_TRUE(runBuilder(b));
  EXPECT_EQ(repaints_.size(), 1u);
  EXPECT_FALSE(window_state_.quick_links.loaded());
  EXPECT_TRUE(b.wanted());  // the next tick builds the new song's list
}

}  // namespace
}  // namespace tunora::ui
