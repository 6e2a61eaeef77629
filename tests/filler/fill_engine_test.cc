// The fill loop over a real song table with the file work faked: the budget in units of 1024
// bytes, "Fill" up to a failing copy or the reserve, "Add Number" names and their wrap, the
// bounded wait for a pick, a stop between files, and the picks against the plain draw. The
// filler window's form: its values land at their places in the filler block (bytes placed by
// hand), a damaged block shows sane combo entries, the output folder rules.
#include "filler/fill_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <set>

#include "engine/alt_pattern.h"
#include "engine/random_source.h"
#include "filler/fill_plan.h"
#include "filler/filler_form.h"
#include "network/library_opening.h"
#include "settings/filler_layout.h"
#include "tests/engine/builder_fixture.h"
#include "tests/engine/plain_builder.h"
#include "tests/settings/settings_test_bytes.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/temp_dir.h"

namespace tunora::filler {
namespace {

using testing::TestSong;

// Copies nothing; remembers what was copied and the titles shown, and answers sizes and space
// from its tables.
struct FakeFiles final : FillFiles, FillReport {
  Status copyFile(const std::string& source, const std::string& target, bool& taken) override {
    taken = sizes.count(target) != 0 || existing.count(target) != 0;
    if (taken) return Status::InvalidArgument(target + ": taken");
    if (fail_copy_at == static_cast<int>(copies.size()) + 1) return Status::NoSpace(target);
    copies.push_back({source, target});
    used += sizes[target] = song_bytes;
    return Status::Ok();
  }
  std::optional<uint64_t> fileSize(const std::string& path) override {
    return sizes.count(path) ? sizes[path] : song_bytes;
  }
  std::optional<SpaceInfo> space(const std::string&) override {
    return SpaceInfo{free_at_start - used, total};
  }
  Status syncFile(const std::string& path) override { return synced.push_back(path), Status::Ok(); }
  Status syncFolder(const std::string& folder) override {
    return synced.push_back("dir:" + folder), Status::Ok();
  }
  void removeFile(const std::string& path) override { removed.push_back(path); }
  void setTitle(const std::string& title) override { titles.push_back(title); }
  void fileCopied(const std::string&, uint64_t) override {
    if (on_copied) on_copied();
  }

  uint64_t song_bytes = 1024;
  int fail_copy_at = 0;  // the copy (1-based) that fails; 0 none
  uint64_t free_at_start = uint64_t{1} << 50, total = uint64_t{1} << 50, used = 0;
  std::vector<std::pair<std::string, std::string>> copies;
  std::map<std::string, uint64_t> sizes;
  std::set<std::string> existing;  // files in the folder before the fill
  std::vector<std::string> synced, removed, titles;
  std::function<void()> on_copied;
};

class FillEngineTest : public ::testing::Test {
 protected:
  void makeLibrary(const std::vector<TestSong>& songs) {
    ASSERT_TRUE(testing::writeSongTable(path_, songs));
    settings_ = testing::firstRunSettings();
    settings_.setText(settings::kDatabasePath, path_);
    settings_.setText(settings::kFillOutputDir, "/out");
    settings_.set(settings::kFillSizeIndex, kFillSizeUnbounded);
    settings_.set(settings::kFillAddNumber, 1);
  }
  FillResult fill(uint64_t seed = 7, network::NetworkContext* context = nullptr) {
    engine::SharedWords words;
    engine::SharedLock lock(words, env_);
    marlbase::TableHandle table;
    network::LibraryOpening library(table, settings_);
    engine::PlayList play_list;
    engine::StatusMessage status;
    engine::BuilderHooks hooks;
    engine::SeededRandomSource random(seed);
    engine::ListBuilder builder(lock, library, settings_, play_list, status, random, env_, hooks);
    FillEngine engine(lock, builder, library, settings_, files_, files_, env_);
    if (context != nullptr) engine.setNetworkContext(context, "/data/");
    engine_ = &engine;
    // The fill sleeps between passes: counted, with the clock moved whenever it sleeps.
    FillResult result;
    tunora::testing::ClockDriver driver(env_, std::chrono::hours(1));
    tunora::testing::runCounted(env_, [&] {
      const uint64_t start = env_.nowMillis();  // the driver moves the clock only while it sleeps
      result = engine.run();
      slept_ = env_.nowMillis() - start;
    });
    engine_ = nullptr;
    EXPECT_EQ(play_list.size(), 0);  // filler picks never reach the play list
    EXPECT_EQ(words.grant.load(), 0);
    return result;
  }
  std::vector<std::string> targets() const {
    std::vector<std::string> out;
    for (const auto& [source, target] : files_.copies) out.push_back(target);
    return out;
  }

  testing::TempDir dir_;
  std::string path_ = dir_.file("lib.mbf");
  Settings settings_;
  FakeEnv env_;
  FakeFiles files_;
  FillEngine* engine_ = nullptr;
  uint64_t slept_ = 0;  // virtual time the last fill slept
};

TEST_F(FillEngineTest, BudgetEndsOnTheFileThatReachesOrMeetsIt) {
  // "128 MB": 122880 units of 1024 bytes; the bytes below a unit are not counted.
  for (const auto& [size, files] : {std::pair{uint64_t{10000 * 1024 + 1023}, 13},  // 12 leave 2880
                                    std::pair{uint64_t{10240 * 1024}, 12}}) {      // met exactly
    SCOPED_TRACE(size);
    makeLibrary(testing::plainSongs(30));
    settings_.set(settings::kFillSizeIndex, 0);
    files_ = FakeFiles();
    files_.song_bytes = size;
    const FillResult result = fill();
    EXPECT_EQ(result.end, FillEnd::kBudgetUsed);
    EXPECT_EQ(result.files, files);
    ASSERT_GE(files_.titles.size(), 13u);
    EXPECT_EQ(files_.titles.front(), "Tunora Deep Building");
    if (files == 13) {
      EXPECT_EQ(files_.titles[12], "2MB to go, " + targets()[11].substr(5));
    }
    EXPECT_EQ(files_.titles.back(), "Tunora Media Filler");
    // Every written file and then the folder are flushed before the end is shown.
    ASSERT_EQ(files_.synced.size(), static_cast<size_t>(files) + 1);
    EXPECT_EQ(files_.synced.back(), "dir:/out");
  }
}

// How a fill ends: a copy that fails, too few songs, a stop between two files, the reserve
// reached (1 % of 1 GB is below 64 MB: 64 MB kept free; copies while 74 MB or more are free, at
// 200, 190, ..., 80 MB), no song passing the filter (after a bounded number of passes).
TEST_F(FillEngineTest, HowAFillEnds) {
  const struct {
    const char* what;
    int songs, fail_at, stop_after;
    uint64_t song_mb, free_mb;
    uint32_t flags;
    FillEnd end;
    int files;
    std::string message;
  } rows[] = {
      {"a copy fails", 60, 40, 0, 0, 0, 0, FillEnd::kCopyFailed, 39, "/out/039 "},
      {"too few songs", 19, 0, 0, 0, 0, 0, FillEnd::kNoLibrary, 0, ""},
      {"a stop", 25, 0, 3, 0, 0, 0, FillEnd::kStopped, 3, ""},
      {"the reserve", 25, 0, 0, 10, 200, 0, FillEnd::kReserveReached, 13,
       "Stopped with 70 MB left free on the target (kept free: 64 MB)"},
      {"no pick", 25, 0, 0, 0, 0, 2, FillEnd::kNoPick, 0, kNoPickText},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto songs = testing::plainSongs(row.songs);
    for (auto& s : songs) s.flags = row.flags;
    makeLibrary(songs);
    settings_.set(settings::kFillNaughtyLimit, 0);
    files_ = FakeFiles();
    files_.fail_copy_at = row.fail_at;
    if (row.song_mb != 0) files_.song_bytes = row.song_mb << 20;
    if (row.free_mb != 0) {
      files_.total = uint64_t{1} << 30;
      files_.free_at_start = row.free_mb << 20;
    }
    int copied = 0;
    files_.on_copied = [&] {
      if (++copied == row.stop_after) engine_->requestStop();
    };
    const FillResult result = fill();
    EXPECT_EQ(result.end, row.end);
    EXPECT_EQ(result.files, row.files);
    EXPECT_NE(result.message.find(row.message), std::string::npos) << result.message;
    if (row.end == FillEnd::kNoPick) {
      EXPECT_EQ(slept_, uint64_t{kPassPauseMillis} * (kMaxEmptyPasses - 1));
    }
    if (row.end != FillEnd::kNoLibrary) {
      EXPECT_EQ(files_.titles.back(),
                "Tunora Media Filler" +
                    (row.message.empty() || row.fail_at != 0 ? std::string() : ": " + row.message));
    }
  }
}

// A library smaller than the fill size: every song is copied once, then the fill says so.
TEST_F(FillEngineTest, EachSongIsCopiedOnceAndTheFillEndsWhenAllAreCopied) {
  auto songs = testing::plainSongs(30);
  songs[4].flags = 3;                  // "Really Dirty": never picked under "Dirty"
  songs[5].path = "/music/notes.txt";  // not a media file
  songs[6].path = songs[7].path;       // one song, twice in the library
  makeLibrary(songs);
  settings_.set(settings::kFillNaughtyLimit, 2);
  files_.fail_copy_at = 200;
  const FillResult result = fill();
  EXPECT_EQ(result.end, FillEnd::kAllCopied);
  EXPECT_EQ(result.files, 27);
  EXPECT_EQ(result.bytes, 27u * 1024);
  EXPECT_EQ(result.message, "all 27 songs copied");
  std::set<std::string> sources;
  for (const auto& copy : files_.copies) EXPECT_TRUE(sources.insert(copy.first).second);
  EXPECT_EQ(files_.titles.back(), "Tunora Media Filler: all 27 songs copied");
}

// Two albums both hold "song3.mp3": filling into one never replaces its file; the copy gets the
// first free name, and the end says how many did.
TEST_F(FillEngineTest, ANameTakenGetsAFreeNameAndTheEndSaysSo) {
  makeLibrary(testing::plainSongs(25));
  settings_.set(settings::kFillAddNumber, 0);
  settings_.setText(settings::kFillOutputDir, "/out/");
  files_.existing = {"/out/song3.mp3", "/out/song3 (2).mp3", "/out/song7.mp3"};
  const FillResult result = fill();
  EXPECT_EQ(result.end, FillEnd::kAllCopied);
  EXPECT_EQ(result.files, 25);
  EXPECT_EQ(result.renamed, 2);
  const std::vector<std::string> t = targets();
  EXPECT_EQ(std::count(t.begin(), t.end(), "/out/song3 (3).mp3"), 1);
  EXPECT_EQ(std::count(t.begin(), t.end(), "/out/song7 (2).mp3"), 1);
  for (const auto& name : files_.existing) EXPECT_EQ(std::count(t.begin(), t.end(), name), 0);
  for (const auto& [source, target] : files_.copies) {  // the others keep their names
    const std::string name = source.substr(source.rfind('/') + 1);
    if (name != "song3.mp3" && name != "song7.mp3") {
      EXPECT_EQ(target, "/out/" + name);
    }
  }
  EXPECT_EQ(files_.titles.back(),
            "Tunora Media Filler: all 25 songs copied; 2 songs were saved under a free name, as "
            "the folder had a file of its name");
  EXPECT_EQ(fillTargetName("/m/a/Song.mp3", true, 9), "009 Song.mp3");  // "Add Number"
  EXPECT_EQ(fillTargetName("/m/a/Song.mp3", true, 1000), "1000 Song.mp3");
  EXPECT_EQ(nextPickNumber(kLastPickNumber), 0);  // after 1000
  EXPECT_EQ(numberedName("a.b.mp3", 2), "a.b (2).mp3");
  EXPECT_EQ(numberedName(".hidden", 3), ".hidden (3)");
  EXPECT_EQ(numberedName("noext", 4), "noext (4)");
}

// The filler's choices become the running settings; in network mode the fill reads a copy of
// its own, which it removes at the end.
TEST_F(FillEngineTest, TheChoicesBecomeTheRunningSettingsAndNetworkModeUsesItsOwnCopy) {
  makeLibrary(testing::plainSongs(25));
  settings_.set(settings::kCurrentState, 4);
  settings_.set(settings::kFillUser, 6);
  settings_.set(settings::kFillMinRating, 3);
  settings_.set(settings::kFillNaughtyLimit, 2);
  settings_.set(settings::kFillPlayAll, 0);
  settings_.set(settings::kFillPlayWav, 0);
  files_.fail_copy_at = 2;
  network::NetworkContext context;
  context.local_copy_path = "/data/Local.mbf";
  fill(3, &context);
  EXPECT_EQ(settings_.get(settings::kCurrentState), 0);
  EXPECT_EQ(settings_.get(settings::kStateUser, 0), 6);
  EXPECT_EQ(settings_.get(settings::kStateMinRating, 0), 3);
  EXPECT_EQ(settings_.get(settings::kStateNaughtyLimit, 0), 2);
  EXPECT_EQ(settings_.get(settings::kPlayAll), 0);
  EXPECT_EQ(settings_.get(settings::kPlayWav), 0);
  EXPECT_EQ(context.local_copy_path, "/data/Fill.mbf");
  EXPECT_EQ(context.network_refresh_counter.load(), 200);
  EXPECT_EQ(files_.removed, std::vector<std::string>{"/data/Fill.mbf"});
}

// The fill's picks are the plain draw's picks, one after another, with the previous pick never
// drawn again at once and the alt-mode pattern moving after each file; the table ends with the
// same credits and play counts.
TEST_F(FillEngineTest, PicksFollowThePlainDraw) {
  for (uint64_t seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(static_cast<uint32_t>(seed));
    auto songs = testing::plainSongs(static_cast<int>(120 + rng() % 200));
    for (auto& s : songs) {
      s.score = 1u << (rng() % 11);
      s.credit = static_cast<uint32_t>(rng() % 1600);
      s.flags = rng() % 4;
      s.artist = "Artist " + std::to_string(rng() % 30);
    }
    makeLibrary(songs);
    {
      // Scores for the users of the "Odd" pattern too.
      marlbase::TableHandle t;
      t.setPath(path_);
      t.setWritable(true);
      ASSERT_TRUE(t.open().ok());
      for (int32_t slot = 0; slot < static_cast<int32_t>(songs.size()); ++slot) {
        for (int user : {2, 4}) {
          ASSERT_TRUE(t.writeInt(slot, ratingColumn(user), 1u << (rng() % 11)));
          ASSERT_TRUE(t.writeInt(slot, creditColumn(user), static_cast<uint32_t>(rng() % 1600)));
        }
      }
      t.close();
    }
    settings_.set(settings::kFillNaughtyLimit, 2);
    settings_.set(settings::kFillAltMode, seed % 2 == 0 ? 9 : 0);  // "Odd": users 0, 2, 4
    files_ = FakeFiles();
    files_.fail_copy_at = 60;
    auto plain = marlbase::testing::PlainTable::fromImage(tunora::testing::readBytes(path_), true);

    Settings plain_settings = settings_;
    applyFillChoices(plain_settings);
    ASSERT_EQ(fill(seed).files, 59);

    engine::BuilderMemory memory;
    engine::SeededRandomSource random(seed);
    // The 60th new song is picked (and credited) before its copy fails. A pick of a song
    // copied already is passed over: no copy, and the pattern stays.
    std::set<std::string> copied;
    for (size_t i = 0; i < 60;) {
      const engine::DrawRules rules = engine::DrawRules::forCurrentState(plain_settings, 0);
      int32_t slot = -1;
      while (testing::plainDrawOnce(plain, plain_settings, memory, rules, random, &slot) !=
             engine::DrawOutcome::kPicked) {
      }
      memory.last_added_path = memory.last_picked_path;
      if (!copied.insert(memory.last_picked_path).second) continue;
      if (i < files_.copies.size()) {
        ASSERT_EQ(files_.copies[i].first, memory.last_picked_path);
      }
      ++i;
      if (i < 60 && plain_settings.stateValue(settings::kStateAltMode) != 0) {
        engine::advanceAltPattern(plain_settings, memory.pattern_position);
      }
    }
    EXPECT_EQ(tunora::testing::readBytes(path_), plain.image());
  }
}

// The filler block (1000 bytes from 5778) of the settings.
std::vector<uint8_t> blockOf(const Settings& s) {
  const auto image = s.image();
  return std::vector<uint8_t>(image.begin() + 5778, image.begin() + 6778);
}

TEST(FillerFormTest, TheFormIsStoredAtItsPlacesInTheBlockAndReadBack) {
  // size, the eight types, all, naughty limit, minimum rating, user, alt mode, empty dir, add
  // number, the output folder
  FillerForm form{6,     {true, false, true, false, true, false, true, true},
                  true,  3,
                  10,    7,
                  9,     true,
                  false, "/media/stick/Music"};
  Settings s;
  storeFillerForm(form, s);
  // The same as words from offset 0 on, and the folder at 80.
  std::vector<uint8_t> expected(1000, 0);
  const int32_t words[] = {6, 1, 0, 1, 0, 1, 0, 1, 1, 1, 3, 10, 7, 9, 1, 0};
  for (size_t i = 0; i < std::size(words); ++i) testing::putWord(expected, 4 * i, words[i]);
  std::memcpy(expected.data() + 80, "/media/stick/Music", 18);
  EXPECT_EQ(blockOf(s), expected);
  EXPECT_EQ(fillerFormOf(s), form);

  // A long folder is cut to the 600-byte slot with its NUL.
  form.output_dir = "/" + std::string(700, 'x');
  storeFillerForm(form, s);
  EXPECT_EQ(fillerFormOf(s).output_dir.size(), 599u);
  EXPECT_EQ(blockOf(s)[80 + 599], 0);
}

TEST(FillerFormTest, IndexesOutOfRangeShowTheFirstEntryOrTheDefaultSize) {
  Settings s;
  FillerForm form;
  form.size_index = 2;
  storeFillerForm(form, s);
  Settings damaged = s;
  std::array<uint8_t, 4> bad = {0xff, 0xff, 0xff, 0x7f};
  for (size_t at : {0u, 40u, 44u, 48u, 52u}) damaged.storeBytes(5778 + at, bad);
  const FillerForm shown = fillerFormOf(damaged);
  EXPECT_EQ(shown.size_index, 5);  // "4 GB"
  EXPECT_EQ(shown.naughty_limit, 0);
  EXPECT_EQ(shown.min_rating, 0);
  EXPECT_EQ(shown.user, 0);
  EXPECT_EQ(shown.alt_mode, 0);
  std::array<uint8_t, 4> negative = {0xff, 0xff, 0xff, 0xff};
  damaged.storeBytes(5778 + 44, negative);
  damaged.storeBytes(5778 + 0, negative);
  EXPECT_EQ(fillerFormOf(damaged).min_rating, 0);
  EXPECT_EQ(fillerFormOf(damaged).size_index, 5);
}

TEST(FillerFormTest, TheOutputFolderMustBeAFullPathAndADroppedOneHoldNoDot) {
  EXPECT_EQ(outputFolderRefusal(""), "No output folder is given");
  EXPECT_EQ(outputFolderRefusal("Music"),
            "Music: the output folder must be a full path (from \"/\")");
  EXPECT_FALSE(outputFolderRefusal("/media/stick"));
  EXPECT_FALSE(outputDirOpenable("/x"));
  EXPECT_TRUE(outputDirOpenable("/xy"));
  EXPECT_EQ(droppedOutputFolder("/media/stick/Music", true), "/media/stick/Music");
  EXPECT_EQ(droppedOutputFolder("/media/stick/Music/", true), "/media/stick/Music");
  EXPECT_EQ(droppedOutputFolder("/media/my.stick/Music", true), "/media/my.stick/Music");
  EXPECT_EQ(droppedOutputFolder("/", true), "/");
  EXPECT_FALSE(droppedOutputFolder("/media/stick/Music.old", true));
  EXPECT_FALSE(droppedOutputFolder("/media/stick/.hidden", true));
  EXPECT_FALSE(droppedOutputFolder("/home/u/song.mp3", false));
  EXPECT_FALSE(droppedOutputFolder("/home/u/README", false));  // a file, not a folder
  EXPECT_FALSE(droppedOutputFolder("", true));
}

}  // namespace
}  // namespace tunora::filler
