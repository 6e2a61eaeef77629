// The four status texts and their one-shot effects.
#include "ui/status_text.h"

#include <gtest/gtest.h>

#include <deque>

#include "engine/lock_codes.h"
#include "tests/ui/ui_fixture.h"

namespace tunora::testing {
namespace {

class FakeSources final : public ui::StatusSources {
 public:
  bool building() override { return building_; }
  int32_t builderPasses() override { return passes; }
  int32_t bufferState() override { return buffer_state; }
  void setBufferState(int32_t state) override { buffer_state = state; }
  int32_t liveRecords() override { return live; }
  bool hashing() override { return hashing_; }
  bool clearingCache() override { return clearing; }
  int32_t writerStage() override { return stage; }
  int32_t switchMarker() override { return marker; }
  int32_t spinner() override { return spin; }
  int32_t fixedUser() override { return fixed; }

  bool building_ = false;
  int32_t passes = 0;
  int32_t buffer_state = 10;
  int32_t live = 0;
  bool hashing_ = false;
  bool clearing = false;
  int32_t stage = 0;
  int32_t marker = 0;
  int32_t spin = 0;
  int32_t fixed = 999;
};

class ScriptedRandom final : public engine::RandomSource {
 public:
  std::optional<uint32_t> next32() override {
    if (values.empty()) return std::nullopt;
    uint32_t v = values.front();
    values.pop_front();
    return v;
  }
  std::deque<uint32_t> values;
};

class StatusTest : public UiTest {
 protected:
  void SetUp() override {
    settings().setText(settings::kUserName, 0, "Anna");
    settings().setText(settings::kUserName, 3, "Ben");
    settings().setText(settings::kAltName, 2, "Party");
  }
  ui::StatusTexts compose() { return ui::composeStatus(parts_); }
  void prepare(int n) {
    for (int i = 0; i < n; ++i) program_.playList().append({"t", "a", "b", "/m/x.mp3", "mp3"});
  }

  FakeSources sources_;
  ScriptedRandom random_;
  ui::StatusParts parts_{words(),           settings(), program_.playList(),
                         program_.status(), sources_,   random_};
};

TEST_F(StatusTest, ThePlayingExample) {
  words().playing.store(1);
  prepare(37);
  settings().set(settings::kBuffer, 1);
  sources_.live = 5211;  // 5210 songs and the blank first record
  settings().set(settings::kStateAltMode, 0, 2);
  ui::StatusTexts t = compose();
  EXPECT_EQ(t[0], "Tunora Playing");
  EXPECT_EQ(t[1], "37 songs prepared (Buffered)");
  EXPECT_EQ(t[2], "5210 entries");
  EXPECT_EQ(t[3], "User Anna, Party Mode");
}

TEST_F(StatusTest, FirstPartByState) {
  EXPECT_EQ(compose()[0], "Tunora Ready");
  words().playing.store(1);
  sources_.building_ = true;
  sources_.passes = 7;
  EXPECT_EQ(compose()[0], "Tunora Building");
  words().test_functions.store(1);
  sources_.spin = 60;
  EXPECT_EQ(compose()[0], "Tunora Building, 7 \\");
  words().test_functions.store(0);
  words().request.store(engine::kQuitRequested);
  EXPECT_EQ(compose()[0], "Tunora Quiting");
}

TEST_F(StatusTest, SpinnerQuarters) {
  words().test_functions.store(1);
  struct Case {
    int32_t spin;
    const char* text;
  };
  for (Case c :
       {Case{0, "Tunora Ready /"}, Case{24, "Tunora Ready /"}, Case{25, "Tunora Ready -"},
        Case{49, "Tunora Ready -"}, Case{50, "Tunora Ready \\"}, Case{74, "Tunora Ready \\"},
        Case{75, "Tunora Ready |"}, Case{100, "Tunora Ready |"}}) {
    sources_.spin = c.spin;
    EXPECT_EQ(compose()[0], c.text) << c.spin;
  }
}

TEST_F(StatusTest, UnbufferedRemarkAndStatusMessageShowOnce) {
  sources_.buffer_state = 12;
  program_.status().setText("Deep Building");
  EXPECT_EQ(compose()[0], "Tunora Ready (Un-Buffered), Deep Building");
  EXPECT_EQ(sources_.buffer_state, 10);
  EXPECT_EQ(compose()[0], "Tunora Ready");
}

TEST_F(StatusTest, PreparedCountWithBufferStates) {
  prepare(5);
  EXPECT_EQ(compose()[1], "5 songs prepared") << "no remark with Buffer off";
  settings().set(settings::kBuffer, 1);
  struct Case {
    int32_t state;
    const char* text;
  };
  for (Case c : {Case{50, "5 songs prepared (Buffering)"}, Case{0, "5 songs prepared Buffer Error"},
                 Case{1, "5 songs prepared Buffer Error"}, Case{10, "5 songs prepared (Buffered)"},
                 Case{12, "5 songs prepared (Buffered)"}}) {
    sources_.buffer_state = c.state;
    EXPECT_EQ(compose()[1], c.text) << c.state;
  }
}

TEST_F(StatusTest, PartiallyBufferedEndsWithChanceOneInSix) {
  prepare(2);
  settings().set(settings::kBuffer, 1);
  sources_.buffer_state = 11;
  random_.values = {0, 1, 2, 4, 5, 6 * 1000 + 3};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(compose()[1], "2 songs prepared (Partially Buffered)");
    EXPECT_EQ(sources_.buffer_state, 11) << i;
  }
  EXPECT_EQ(compose()[1], "2 songs prepared (Partially Buffered)");
  EXPECT_EQ(sources_.buffer_state, 10) << "a draw of 3 (mod 6) ends the remark";
  EXPECT_EQ(compose()[1], "2 songs prepared (Buffered)");

  sources_.buffer_state = 11;
  random_.values.clear();  // no random source: the remark stays
  EXPECT_EQ(compose()[1], "2 songs prepared (Partially Buffered)");
  EXPECT_EQ(sources_.buffer_state, 11);
}

TEST_F(StatusTest, DoNotSaveMarkerKeepsThePreparedText) {
  prepare(3);
  program_.playList().markDoNotSave();
  EXPECT_FALSE(compose()[1].has_value());
}

// The count is of songs: 41 imported songs are 41 entries, though the table holds 42 live
// records with its blank first one.
TEST_F(StatusTest, EntriesCountSongsNotTheBlankFirstRecord) {
  const struct {
    int32_t live;
    const char* text;
  } cases[] = {{42, "41 entries"}, {2, "1 entries"}, {1, "0 entries"}, {0, "0 entries"}};
  for (const auto& c : cases) {
    sources_.live = c.live;
    EXPECT_EQ(compose()[2], c.text) << c.live;
  }
}

TEST_F(StatusTest, LibraryPartOfflineAndBusy) {
  sources_.live = 13;
  sources_.hashing_ = true;
  sources_.clearing = true;
  EXPECT_EQ(compose()[2], "12 entries (Hashing) (Clearing Cache)");
  for (int32_t offline : {1000, 1500, 1999}) {
    words().build_request.store(offline);
    EXPECT_EQ(compose()[2], "DB Offline");
  }
  words().build_request.store(999);
  EXPECT_EQ(compose()[2], "12 entries (Hashing) (Clearing Cache)");
  // A library whose file went missing: not the count of the table that was there.
  words().library_missing.store(1);
  EXPECT_EQ(compose()[2], "Library not found");
  words().library_missing.store(0);
  EXPECT_EQ(compose()[2], "12 entries (Hashing) (Clearing Cache)");
  // A data folder that takes no files: nothing will be saved, and the part keeps saying so.
  words().data_read_only.store(1);
  EXPECT_EQ(compose()[2], "12 entries (Hashing) (Clearing Cache) (Not Saved)");
  EXPECT_EQ(compose()[2], "12 entries (Hashing) (Clearing Cache) (Not Saved)");
}

TEST_F(StatusTest, UserPartWithFixedUserAndTestMode) {
  settings().set(settings::kCurrentState, 5);
  settings().set(settings::kStateUser, 5, 3);
  EXPECT_EQ(compose()[3], "User Ben");
  sources_.fixed = 0;
  EXPECT_EQ(compose()[3], "User Ben, Edit locked to Anna");
  words().test_functions.store(1);
  sources_.stage = 4;
  sources_.marker = 3;
  EXPECT_EQ(compose()[3], "User Ben, Edit locked to Anna, 4, 3");
}

TEST_F(StatusTest, RefresherHandsTheTextsToTheWindow) {
  std::vector<ui::StatusTexts> shown;
  program_.status().setRefresher(
      ui::statusRefresher(parts_, [&](const ui::StatusTexts& t) { shown.push_back(t); }));
  words().playing.store(1);
  program_.status().refresh();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0][0], "Tunora Playing");
  program_.status().setRefresher(nullptr);
}

}  // namespace
}  // namespace tunora::testing
