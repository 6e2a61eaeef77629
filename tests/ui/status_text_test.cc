// The four status texts.
#include "ui/status_text.h"

#include "engine/lock_codes.h"
#include "engine/random_source.h"
#include "tests/ui/ui_fixture.h"

namespace tunora::testing {
namespace {

class FakeSources final : public ui::StatusSources {
 public:
  bool building() override { return building_; }
  int32_t builderPasses() override { return 7; }
  int32_t bufferState() override { return buffer_state; }
  void setBufferState(int32_t state) override { buffer_state = state; }
  int32_t liveRecords() override { return live; }
  bool hashing() override { return busy; }
  bool clearingCache() override { return busy; }
  int32_t writerStage() override { return 4; }
  int32_t switchMarker() override { return 3; }
  int32_t spinner() override { return spin; }
  int32_t fixedUser() override { return fixed; }

  bool building_ = false, busy = false;
  int32_t buffer_state = 10, live = 0, spin = 0, fixed = 999;
};

class StatusTest : public UiTest {
 public:
  void TestBody() override {}
  void SetUp() override {
    settings().setText(settings::kUserName, 0, "Anna");
    settings().setText(settings::kUserName, 3, "Ben");
    settings().setText(settings::kAltName, 2, "Party");
    for (int i = 0; i < 5; ++i) program_.playList().append({"t", "a", "b", "/m/x.mp3", "mp3"});
  }
  void buffer(int32_t state) {
    settings().set(settings::kBuffer, 1);
    sources_.buffer_state = state;
  }
  std::string part(size_t i) { return ui::composeStatus(parts_)[i].value_or("<kept>"); }

  FakeSources sources_;
  engine::SeededRandomSource random_{1};
  ui::StatusParts parts_{words(),           settings(), program_.playList(),
                         program_.status(), sources_,   random_};
};

// Each row sets one thing on top of an idle program and reads one part.
TEST_F(StatusTest, EachPartByState) {
  struct Case {
    const char* name;
    std::function<void(StatusTest&)> set;
    size_t part;
    const char* text;
  };
  const Case cases[] = {
      {"ready", [](StatusTest&) {}, 0, "Tunora Ready"},
      {"playing", [](StatusTest& t) { t.words().playing.store(1); }, 0, "Tunora Playing"},
      {"building with the counts",
       [](StatusTest& t) {
         t.sources_.building_ = true, t.words().test_functions.store(1), t.sources_.spin = 60;
       },
       0, "Tunora Building, 7 \\"},
      {"spinner's second quarter",
       [](StatusTest& t) { t.words().test_functions.store(1), t.sources_.spin = 25; }, 0,
       "Tunora Ready -"},
      {"quitting", [](StatusTest& t) { t.words().request.store(engine::kQuitRequested); }, 0,
       "Tunora Quiting"},
      {"buffering", [](StatusTest& t) { t.buffer(50); }, 1, "5 songs prepared (Buffering)"},
      {"buffer error", [](StatusTest& t) { t.buffer(1); }, 1, "5 songs prepared Buffer Error"},
      {"do not save", [](StatusTest& t) { t.program_.playList().markDoNotSave(); }, 1, "<kept>"},
      {"41 songs and the blank record", [](StatusTest& t) { t.sources_.live = 42; }, 2,
       "41 entries"},
      {"only the blank record", [](StatusTest& t) { t.sources_.live = 1; }, 2, "0 entries"},
      {"busy", [](StatusTest& t) { t.sources_.live = 13, t.sources_.busy = true; }, 2,
       "12 entries (Hashing) (Clearing Cache)"},
      {"offline", [](StatusTest& t) { t.words().build_request.store(1999); }, 2, "DB Offline"},
      {"library missing", [](StatusTest& t) { t.words().library_missing.store(1); }, 2,
       "Library not found"},
      {"data folder read-only", [](StatusTest& t) { t.words().data_read_only.store(1); }, 2,
       "0 entries (Not Saved)"},
      {"user and mode", [](StatusTest& t) { t.settings().set(settings::kStateAltMode, 0, 2); }, 3,
       "User Anna, Party Mode"},
      {"another state's user",
       [](StatusTest& t) {
         t.settings().set(settings::kCurrentState, 5), t.settings().set(settings::kStateUser, 5, 3);
       },
       3, "User Ben"},
      {"fixed user in test mode",
       [](StatusTest& t) { t.sources_.fixed = 0, t.words().test_functions.store(1); }, 3,
       "User Anna, Edit locked to Anna, 4, 3"},
  };
  for (const Case& c : cases) {
    StatusTest t;
    t.SetUp();
    c.set(t);
    EXPECT_EQ(t.part(c.part), c.text) << c.name;
  }
}

}  // namespace
}  // namespace tunora::testing
