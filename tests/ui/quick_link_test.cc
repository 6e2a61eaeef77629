// Quick-link lists over a real song table: best rated first for the state's user, 25 at most,
// the line texts, the walk yielding to a waiting request, and a list dropped when a
// reload was asked for while it was built. The builder runs on a thread of its own and gets its
// grant from the lock's handover, in virtual time.

#include "engine/lock_codes.h"
#include "tests/support/song_library.h"
#include "tests/ui/ui_fixture.h"
#include "ui/command_numbers.h"
#include "ui/quick_link_builder.h"

namespace tunora::ui {
namespace {

using tunora::testing::LibrarySong;

// A song of album "Blue" rated `rating` (0-10) by user 0; "/music/<n>.mp3" unless a path is given.
LibrarySong song(std::string title, int32_t rating, std::string path = "", int32_t status = 10) {
  return {.path = path,
          .title = title,
          .album = "Blue",
          .status = status,
          .score = rating == 0 ? 0 : 1u << (rating - 1)};
}

class QuickLinkTest : public tunora::testing::UiTest {
 protected:
  void SetUp() override {
    settings().setText(settings::kDatabasePath, path_);
    for (uint32_t k = 0; k < 10; ++k) settings().set(settings::kRatingValue, k, 1 << k);
    settings().set(settings::kCurrentState, 2);
    settings().set(settings::kShowRate, 1);
    settings().set(settings::kMarkVid, 1);
    settings().set(settings::kUpperRightView, kViewAlbum);
    words().playing.store(1);
    window_state_.client_width.store(800);
    window_state_.client_height.store(600);
  }

  // Writes the library (slot 0 blank, the songs from slot 1 on) and plays song `playing`, with
  // its album name in another letter case.
  void writeAndPlay(std::vector<LibrarySong> songs, size_t playing) {
    for (size_t i = 0; i < songs.size(); ++i)
      if (songs[i].path.empty()) songs[i].path = "/music/" + std::to_string(i) + ".mp3";
    ASSERT_TRUE(tunora::testing::writeLibrary(path_, songs));
    player::SongDetails now;
    now.title = songs[playing].title;
    now.album = "blue";
    now.slot = static_cast<int32_t>(playing) + 1;
    player_.setCurrent(now);
    player_.setPlayPath(songs[playing].path);
  }

  // Runs the builder (after a reload mark), handing it its grant; true when it ended.
  // `on_first_repaint` runs at the first repaint (the first partial list shown).
  bool run(std::function<void()> on_first_repaint = [] {}) {
    QuickLinkBuilder builder(QuickLinkParts{program_.lock(), program_.library(), settings(),
                                            player_, window_state_, [&](const Rect& area) {
                                              repaints_.push_back(area);
                                              if (repaints_.size() == 1) on_first_repaint();
                                            }});
    window_state_.quick_links.markForReload();
    const bool ended = runHandingOver(
        [&] { builder.run(); }, [&] { return words().request.load() == engine::kCodeQuickLinks; });
    wanted_after_ = builder.wanted();
    return ended;
  }

  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (const QuickLinkEntry& entry : window_state_.quick_links.list().entries)
      out.push_back(entry.text);
    return out;
  }

  tunora::testing::TempDir dir_;
  std::string path_ = dir_.file("Tunora.mbf");
  std::vector<Rect> repaints_;
  bool wanted_after_ = true;
};

TEST_F(QuickLinkTest, FortySongsOfOneAlbumRatedTenShowTwentyFiveInTableOrder) {
  std::vector<LibrarySong> songs;
  for (int i = 0; i < 10; ++i) songs.push_back(song("Low " + std::to_string(i), 4));
  for (int i = 0; i < 40; ++i) songs.push_back(song("Top " + std::to_string(i), 10));
  songs.push_back({.path = "/o.mp3", .title = "Other", .album = "Green", .score = 512});
  writeAndPlay(songs, 13);  // "Top 3" plays: not listed itself

  ASSERT_TRUE(run());
  const QuickLinkList list = window_state_.quick_links.list();
  EXPECT_EQ(list.header, "Other songs from this album");
  ASSERT_EQ(list.entries.size(), 25u);
  for (size_t i = 0; i < 25; ++i) {
    const size_t top = i < 3 ? i : i + 1;
    EXPECT_EQ(list.entries[i].text, "Top " + std::to_string(top) + " - 10");
    EXPECT_EQ(list.entries[i].record, static_cast<int32_t>(11 + top));
  }
  EXPECT_EQ(words().grant.load(), 0);
  EXPECT_FALSE(wanted_after_);
  ASSERT_FALSE(repaints_.empty());
  EXPECT_EQ(repaints_.back(), (Rect{400, 30, 400, 370}));
}

TEST_F(QuickLinkTest, BestRatedFirstForTheStatesUserWithTheLineMarks) {
  writeAndPlay({song("Five", 5), song("Clip", 10, "/video/Clip.AVI"), song("Gone", 10, "", 5),
                song("Zero", 0), song("Seven", 7)},
               0);
  ASSERT_TRUE(run());
  EXPECT_EQ(texts(), (std::vector<std::string>{"Clip - 10 (V)", "Seven - 7", "Zero - 0"}));
  EXPECT_EQ(window_state_.quick_links.list().entries[0].record, 2);
  // "Show Rate" and "Mark Vid" off: bare titles; another user of the state has rated nothing:
  // table order.
  settings().set(settings::kShowRate, 0);
  settings().set(settings::kMarkVid, 0);
  settings().set(settings::kStateUser, 2, 1);
  ASSERT_TRUE(run());
  EXPECT_EQ(texts(), (std::vector<std::string>{"Clip", "Zero", "Seven"}));
}

// The walk yields to a request waiting at the first partial list (five entries, more than 3), which
// stays shown; a list built while the player started a new song is dropped.
TEST_F(QuickLinkTest, AWaitingRequestStopsTheWalkAndAListForAnOldSongIsDropped) {
  std::vector<LibrarySong> songs;
  for (int i = 0; i < 5; ++i) songs.push_back(song("Ten " + std::to_string(i), 10));
  for (int i = 0; i < 5; ++i) songs.push_back(song("Nine " + std::to_string(i), 9));
  writeAndPlay(songs, 0);
  ASSERT_TRUE(run([this] { words().request.store(engine::kCodeSearchWindow); }));
  EXPECT_EQ(texts(),
            (std::vector<std::string>{"Ten 1 - 10", "Ten 2 - 10", "Ten 3 - 10", "Ten 4 - 10"}));
  EXPECT_TRUE(window_state_.quick_links.loaded());
  EXPECT_EQ(words().request.load(), engine::kCodeSearchWindow);  // left for its owner
  EXPECT_EQ(words().grant.load(), 0);
  // Without the request the walk goes on through rating 9.
  words().request.store(0);
  ASSERT_TRUE(run());
  EXPECT_EQ(texts().size(), 9u);

  repaints_.clear();
  ASSERT_TRUE(run([this] { window_state_.quick_links.markForReload(); }));
  EXPECT_EQ(repaints_.size(), 1u);
  EXPECT_FALSE(window_state_.quick_links.loaded());
  EXPECT_TRUE(wanted_after_);  // the next tick builds the new song's list
}

}  // namespace
}  // namespace tunora::ui
