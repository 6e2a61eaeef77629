// The settings record and its file: every named field through a save and a load at the offset
// written out here, text slots, array indices, a short file, unnamed bytes kept, the upgrades of
// older files (hand-built: every byte 0x11 but the old 3xx values); each reset and preset against
// a whole record image built here; what a save adds (window placement, column widths, the state's
// play list), the filler's file, the folder's write check; and a save that dies at any step, or
// meets a full disk, leaving the old file whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/filler_settings_file.h"
#include "settings/folder_check.h"
#include "settings/settings.h"
#include "settings/settings_defaults.h"
#include "settings/settings_fields.h"
#include "settings/settings_file.h"
#include "settings/settings_upgrade.h"
#include "tests/settings/settings_test_bytes.h"
#include "tests/support/child_process.h"

namespace tunora {
namespace {

using namespace settings;
using testing::putWord;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;
using Image = std::vector<uint8_t>;

// Every named field: offset, element count and element size, written out independently of the
// layout headers.
struct Row {
  const char* name;
  uint32_t offset;
  uint32_t count = 1;
  uint32_t size = 4;
};
// clang-format off
const Row kMainRows[] = {
    {"CoverArt", 0}, {"CurrentState", 4}, {"ListSize", 8}, {"PlayAll", 12}, {"Maximized", 16},
    {"OnTop", 20}, {"FullMovie", 24}, {"Tray", 28}, {"DatabasePath", 32, 1, 600},
    {"UpperRightView", 632}, {"DbFunction", 636}, {"LastCopyCount", 640}, {"AutoPlay", 660},
    {"AutoMini", 664}, {"PlayMp3", 672}, {"PlayAvi", 676}, {"PlayWav", 680}, {"PlayMpeg", 684},
    {"PlayMidi", 688}, {"PlayWma", 692}, {"PlayAsf", 696}, {"PlayWmv", 700},
    {"ColumnWidth", 732, 5}, {"UserName", 764, 10, 50}, {"AltName", 1264, 10, 50},
    {"AltPattern", 1814, 10, 50}, {"RatingValue", 2314, 10}, {"TargetValue", 2354},
    {"DefaultImport", 2358}, {"DirToId", 2366}, {"BackStack", 2378, 10},
    {"RecentDraws", 2418, 10}, {"SongHistory", 2458, 100}, {"ArtistMemory", 2858, 20, 70},
    {"WindowPlacement", 4298, 11}, {"Network", 4346}, {"BuildTime", 4350},
    {"LowerLeftView", 4354}, {"AutoBuild", 4358}, {"MarkVid", 4362},
    {"ImportSource", 4366, 1, 600}, {"LameCheck", 4966}, {"ShowRate", 4970},
    {"StateName", 4974, 10, 50}, {"StateUser", 5474, 10}, {"StateAltMode", 5514, 10},
    {"StateNaughtyLimit", 5554, 10}, {"StateMinRating", 5594, 10}, {"StateNoArtRep", 5634, 10},
    {"StateHistory", 5674, 10}, {"Buffer", 5714}, {"BufferSize", 5718}, {"EditQueueCount", 5722},
    {"AutoRate", 5726}, {"Shutdown", 5730}, {"HashStat", 5734}, {"ArSpeed", 5738},
    {"SizeCheck", 5742}, {"PlayM4a", 5746}};
// clang-format on
const Row kFillerRows[] = {{"FillSize", 5778},  {"PlayMp3", 5782},           {"PlayAvi", 5786},
                           {"PlayWav", 5790},   {"PlayMpeg", 5794},          {"PlayMidi", 5798},
                           {"PlayWma", 5802},   {"PlayAsf", 5806},           {"PlayWmv", 5810},
                           {"PlayAll", 5814},   {"NaughtyLimit", 5818},      {"MinRating", 5822},
                           {"User", 5826},      {"AltMode", 5830},           {"EmptyDir", 5834},
                           {"AddNumber", 5838}, {"OutputDir", 5858, 1, 600}, {"BufferLevel", 6462}};

// A value of its own for each element: words from the offset, texts "t" and the offset.
int32_t wordAt(uint32_t at) { return static_cast<int32_t>(0x9E3779B1u * (at + 1)); }
std::string textAt(uint32_t at) { return std::string("t").append(std::to_string(at)); }

// Checks each field's place against its row, sets every element through the Settings calls,
// and writes the same values into `image` at the row's offsets.
template <size_t N, size_t M>
void setAll(const std::array<FieldInfo, N>& infos, const Row (&rows)[M], Settings& s,
            std::vector<uint8_t>& image) {
  ASSERT_EQ(N, M);
  for (size_t k = 0; k < N; ++k) {
    const FieldInfo& info = infos[k];
    const Row& row = rows[k];
    SCOPED_TRACE(row.name);
    EXPECT_STREQ(info.name, row.name);
    EXPECT_EQ(info.offset, row.offset);
    EXPECT_EQ(info.count, row.count);
    EXPECT_EQ(info.size, row.size);
    for (uint32_t i = 0; i < row.count; ++i) {
      const uint32_t at = row.offset + i * row.size;
      const std::string text = textAt(at);
      switch (info.kind) {
        case FieldKind::kInt:
          s.set(IntField{info.offset}, wordAt(at));
          break;
        case FieldKind::kIntArray:
          s.set(IntArrayField{info.offset, info.count}, i, wordAt(at));
          break;
        case FieldKind::kText:
          s.setText(TextField{info.offset, info.size}, text);
          break;
        case FieldKind::kTextArray:
          s.setText(TextArrayField{info.offset, info.count, info.size}, i, text);
          break;
      }
      if (row.size == 4) {
        putWord(image, at, static_cast<uint32_t>(wordAt(at)));
      } else {
        std::copy(text.begin(), text.end(), image.begin() + at);
      }
    }
  }
}

TEST(SettingsRecordTest, EveryFieldGoesThroughSaveAndLoadAtItsOffset) {
  TempDir dir;
  Settings s;
  std::vector<uint8_t> record(kRecordSize, 0);
  setAll(kSettingsFields, kMainRows, s, record);
  setAll(kFillerFields, kFillerRows, s, record);
  s.set(kCurrentState, 99);  // no play list to save
  putWord(record, 4, 99);
  ASSERT_TRUE(saveSettings(s, dir.folder(), {}).ok());
  EXPECT_EQ(readBytes(dir.file("dTunora.dat")), testing::settingsFileBytes("TUNO1401", record));
  ASSERT_TRUE(saveFillerSettings(s, dir.folder()).ok());
  EXPECT_EQ(readBytes(dir.file("dTnFill.dat")),
            testing::settingsFileBytes(
                "TUNO1401", std::vector<uint8_t>(record.begin() + 5778, record.begin() + 6778)));

  Settings loaded;
  const SettingsLoadResult r = loadSettings(dir.folder(), "/nonexistent/", loaded);
  EXPECT_EQ(r.version, 1000);
  EXPECT_EQ(r.record_bytes, 7000u);
  EXPECT_TRUE(loaded == s);
  Settings filler;
  EXPECT_TRUE(loadFillerSettings(dir.folder(), filler));
  const auto image = filler.image();
  EXPECT_EQ(std::vector<uint8_t>(image.begin() + 5778, image.begin() + 6778),
            std::vector<uint8_t>(record.begin() + 5778, record.begin() + 6778));
  EXPECT_EQ(filler.get(kListSize), 0);  // outside the block
}

TEST(SettingsRecordTest, LoadThenSaveKeepsEveryByte) {
  TempDir dir;
  std::vector<uint8_t> record(7000);
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i * 7 + 3);
  putWord(record, 4, 2);  // CurrentState within range, so the save also handles a play list
  const auto file = testing::settingsFileBytes("TUNO1401", record);
  writeBytes(dir.file("dTunora.dat"), file);
  Settings s;
  const SettingsLoadResult loaded = loadSettings(dir.folder(), "/nonexistent/", s);
  EXPECT_EQ(loaded.record_bytes, 7000u);
  ASSERT_TRUE(saveSettings(s, dir.folder(), {}).ok());
  EXPECT_EQ(readBytes(dir.file("dTunora.dat")), file);
}

// A text is cut to its slot with a NUL; an index outside an array reads nothing and writes
// nothing (not even into the next field).
TEST(SettingsRecordTest, TextsStayInTheirSlotsAndIndicesInTheirArrays) {
  Settings s;
  s.setText(kUserName, 1, std::string(80, 'y'));
  EXPECT_EQ(s.text(kUserName, 1), std::string(49, 'y'));
  EXPECT_EQ(s.image()[814 + 49], 0);
  EXPECT_EQ(s.image()[864], 0);
  s.set(kStateUser, 10, 5);  // would be StateAltMode[0]
  EXPECT_EQ(s.get(kStateAltMode, 0), 0);
  s.setText(kStateName, 10, "Nope");
  EXPECT_EQ(s.text(kStateName, 10), "");
  s.set(kStateAltMode, 0, 9);
  s.set(kCurrentState, 12345);
  EXPECT_EQ(s.stateValue(kStateAltMode), 0);
}

TEST(SettingsFileTest, ShortFileIsReadAsFarAsItGoes) {
  TempDir data;
  Settings s;
  s.storeBytes(0, std::vector<uint8_t>(kRecordSize, 0xEE));
  // Header and the first 10 record bytes.
  writeBytes(data.file("dTunora.dat"),
             {'T', 'U', 'N', 'O', '1', '4', '0', '1', 1, 0, 0, 0, 2, 0, 0, 0, 3, 0});
  const SettingsLoadResult r = loadSettings(data.folder(), data.folder(), s);
  EXPECT_EQ(r.version, 1000);
  EXPECT_EQ(r.record_bytes, 10u);
  EXPECT_EQ(s.get(kCoverArt), 1);
  EXPECT_EQ(s.get(kCurrentState), 2);
  EXPECT_EQ(s.image()[8], 3);
  EXPECT_EQ(s.image()[10], 0xEE);
  EXPECT_EQ(s.image()[6999], 0xEE);
  writeBytes(data.file("dTunora.dat"), {});
  EXPECT_EQ(loadSettings(data.folder(), data.folder(), s).version, 1001);
  EXPECT_EQ(s.image()[0], 1);
}

TEST(SettingsUpgradeTest, EachVersionUpgradesItsOwnWay) {
  std::vector<uint8_t> record(7000, 0x11);
  putWord(record, 652, 7);   // old current user
  putWord(record, 728, 2);   // old naughty limit
  putWord(record, 2370, 5);  // old minimum rating
  putWord(record, 2374, 0);  // old "No Art Rep"
  const uint32_t kept = 0x11111111u;
  struct Case {
    const char* header;
    bool not_upgradable, welcome, old_playlist;
    // (offset, word) after the upgrade: the current state, state 0's user, naughty limit,
    // minimum rating and "No Art Rep", state 1's "No Art Rep", Buffer, buffer size, edit queue
    // count, auto rate, shutdown, auto-rate speed, and the cover-art word no upgrade touches.
    std::vector<std::pair<size_t, uint32_t>> words;
  };
  const std::vector<std::pair<size_t, uint32_t>> untouched = {
      {4, kept}, {5474, kept}, {5714, kept}};
  const std::vector<std::pair<size_t, uint32_t>> state_reset = {
      {4, 0},    {5474, 0},   {5554, 0},           {5594, 0}, {5634, 1},
      {5714, 0}, {5718, 150}, {5722, 0xFFFFFFFFu}, {0, kept}};
  // clang-format off
  const Case cases[] = {
      {"TUNO1401", false, false, false, untouched},
      {"TUNO1400", false, false, false,
       {{4, kept}, {5714, 1}, {5718, 150}, {5722, 0xFFFFFFFFu}, {5726, 0}, {5730, 0}, {5738, 1}}},
      {"TUNO1350", false, false, true,
       {{4, 0}, {5474, 7}, {5554, 2}, {5594, 5}, {5634, 0}, {5638, 1}, {5714, 0}}},
      {"TUNO1300", false, false, true, {{5474, 7}}},
      {"TUNO1399", false, false, true, {{5474, 7}}},
      {"TUNO1299", true, false, false, untouched},  {"TUNO1000", true, false, false, untouched},
      {"TUNO1abc", true, false, false, untouched},  {"TUNO1-50", true, false, false, untouched},
      {"XUNO1401", false, true, false, state_reset}, {"tuno1401", false, true, false, state_reset},
      {"TUNO1402", false, true, false, state_reset}, {"TUNO1999", false, true, false, state_reset},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    Settings s;
    const int version = decodeSettingsFile(testing::settingsFileBytes(c.header, record), s);
    const UpgradeResult r = upgradeSettings(s, version);
    EXPECT_EQ(r.not_upgradable, c.not_upgradable);
    EXPECT_EQ(r.show_welcome, c.welcome);
    EXPECT_EQ(r.copy_old_playlist, c.old_playlist);
    const auto image = s.image();
    for (const auto& [offset, word] : c.words) {
      const uint32_t got = image[offset] | image[offset + 1] << 8 | image[offset + 2] << 16 |
                           static_cast<uint32_t>(image[offset + 3]) << 24;
      EXPECT_EQ(got, word) << "offset " << offset;
    }
  }
  // The current version changes no byte at all.
  Settings current, untouched_settings;
  (void)decodeSettingsFile(testing::settingsFileBytes("TUNO1401", record), current);
  untouched_settings = current;
  (void)upgradeSettings(current, 1000);
  EXPECT_TRUE(current == untouched_settings);
}

struct Words {  // `count` words from `offset` on, all `value`
  uint32_t offset, count;
  int32_t value;
};
struct Names {  // ten 50-byte name slots from `offset` on
  uint32_t offset;
  std::vector<std::string> names;
};

// What the state reset sets: the current state, each state's words, and the words from Buffer
// to M4A.
const std::vector<Words> kStateWords = {{4, 1, 0},     {5474, 10, 0}, {5514, 10, 0}, {5554, 10, 0},
                                        {5594, 10, 0}, {5634, 10, 1}, {5714, 1, 0},  {5718, 1, 150},
                                        {5722, 1, -1}, {5726, 1, 0},  {5730, 1, 0},  {5734, 1, 0},
                                        {5738, 1, 1},  {5742, 1, 1},  {5746, 1, 0}};
const Names kStateNames = {
    4974, {"Normal", "Loud", "Late", "Kids", "Party", "Pump", "Her", "Him", "Extra1", "Extra2"}};

// What the full reset sets besides, the filler block's defaults included (its unused words 0).
const std::vector<Words> kOtherWords = {
    {0, 1, 1},     {8, 1, 100},    {12, 1, 0},    {16, 1, 1},   {20, 1, 0},   {24, 1, 0},
    {28, 1, 1},    {632, 1, 1},    {636, 1, 0},   {660, 1, 0},  {664, 1, 0},  {672, 8, 1},
    {732, 2, 150}, {740, 1, 250},  {744, 1, 60},  {748, 1, 30}, {2366, 1, 1}, {2378, 1, -1},
    {4346, 1, 0},  {4350, 1, 500}, {4354, 1, 11}, {4358, 1, 1}, {4362, 1, 1}, {4966, 1, 0},
    {4970, 1, 1},  {5674, 1, 1},   {5778, 1, 5},  {5782, 8, 1}, {5814, 6, 0}, {5838, 1, 1},
    {5842, 4, 0},  {6458, 1, 0},   {6466, 78, 0}};
const std::vector<Names> kOtherNames = {
    {764, {"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten"}},
    {1264, {"Single", "Two", "More2", "More1", "Triple", "Trip2", "Trip3", "Lucky", "Evil", "Odd"}},
    {1814, {"12", "122", "112", "123", "456", "789", "777", "666", "135", ""}},
};

void apply(Image& image, const std::vector<Words>& words, const std::vector<Names>& names) {
  for (const Words& w : words) {
    for (uint32_t i = 0; i < w.count; ++i) putWord(image, w.offset + 4 * i, w.value);
  }
  for (const Names& n : names) {
    for (size_t i = 0; i < n.names.size(); ++i) {
      std::fill_n(image.begin() + n.offset + 50 * i, 50, 0);
      std::copy(n.names[i].begin(), n.names[i].end(), image.begin() + n.offset + 50 * i);
    }
  }
}

// The offsets at which the settings differ from the image, for the failure message.
std::string differences(const Settings& s, const Image& expected) {
  const auto image = s.image();
  std::string out;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (image[i] != expected[i]) out.append(1, ' ').append(std::to_string(i));
  }
  return out;
}

Settings filled(uint8_t byte) {
  Settings s;
  s.storeBytes(0, Image(kRecordSize, byte));
  return s;
}

// Each reset over a record whose every byte is `fill`: the defaults it sets, every other byte kept.
TEST(SettingsDefaultsTest, FullAndStateResetsSetTheirDefaultsAndKeepTheRest) {
  for (const bool full : {true, false}) {
    SCOPED_TRACE(full ? "full reset" : "state reset");
    const uint8_t fill = full ? 0x5A : 0x33;
    Settings s = filled(fill);
    full ? resetAll(s) : resetStates(s);
    Image expected(kRecordSize, fill);
    apply(expected, kStateWords, {kStateNames});
    if (full) apply(expected, kOtherWords, kOtherNames);
    EXPECT_EQ(differences(s, expected), "") << "offsets that differ";
  }
}

TEST(SettingsDefaultsTest, FillerDefaultsFollowTheMainSettings) {
  Settings s = filled(0);
  // Each main value different, so that a value taken from the wrong field shows.
  const IntField types[] = {kPlayMp3,  kPlayAvi, kPlayWav, kPlayMpeg,
                            kPlayMidi, kPlayWma, kPlayAsf, kPlayWmv};
  for (int32_t i = 0; i < 8; ++i) s.set(types[i], 11 + i);
  s.set(kPlayAll, 21);
  s.set(kStateNaughtyLimit, 0, 22);
  s.set(kStateMinRating, 0, 23);
  s.set(kStateUser, 0, 24);
  s.set(kStateAltMode, 0, 25);
  s.set(kStateUser, 1, 99);  // only state 0's count
  s.setText(TextField{5778 + 80, 600}, "/media/player");
  applyFillerDefaults(s);
  for (int32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(s.get(IntField{5782 + 4 * static_cast<uint32_t>(i)}), 11 + i) << "type " << i;
  }
  for (int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(s.get(IntField{5814 + 4 * static_cast<uint32_t>(i)}), 21 + i) << "word " << i;
  }
  EXPECT_EQ(s.text(TextField{5778 + 80, 600}), "/media/player");  // kept
}

TEST(SettingsDefaultsTest, AlternateThenDefaultRestoresTheDefaultPreset) {
  Settings s = filled(0x44);
  alternateRatingValues(s);
  Image expected(kRecordSize, 0x44);
  const int32_t alternate[] = {1, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2000, 32};
  for (uint32_t k = 0; k < 12; ++k) putWord(expected, 2314 + 4 * k, alternate[k]);
  EXPECT_EQ(differences(s, expected), "") << "alternate preset";
  resetRatingValues(s);
  for (uint32_t k = 0; k < 10; ++k) putWord(expected, 2314 + 4 * k, 1u << k);
  apply(expected, {{2354, 1, 1000}, {2358, 1, 16}}, {});
  EXPECT_EQ(differences(s, expected), "") << "default preset";
}

struct FakeWindow : WindowStateSource {
  std::optional<std::array<int32_t, 11>> placement;
  std::array<int32_t, 5> widths{};
  std::optional<std::array<int32_t, 11>> windowPlacement() override { return placement; }
  std::array<int32_t, 5> columnWidths() override { return widths; }
};

struct FakePlayList : PlayListStore {
  int32_t prepared = 0;
  std::vector<std::string> written;
  int32_t preparedCount() override { return prepared; }
  bool writePlayList(const std::string& path) override {
    written.push_back(path);
    testing::writeText(path, "song.mp3\r\n");
    return true;
  }
};

TEST(SettingsFileTest, SaveWritesHeaderAndRecordWithWindowState) {
  TempDir data;
  Settings s;
  s.set(kWindowPlacement, 0, 44);
  FakeWindow window;  // in the tray: no placement
  window.widths = {1, 2, 3, 4, 0x100};
  ASSERT_TRUE(saveSettings(s, data.folder(), {&window, nullptr}).ok());
  std::vector<uint8_t> record(7000, 0);
  record[4298] = 44;  // placement kept
  for (uint32_t k = 0; k < 5; ++k) testing::putWord(record, 732 + 4 * k, window.widths[k]);
  EXPECT_EQ(readBytes(data.file("dTunora.dat")), testing::settingsFileBytes("TUNO1401", record));

  window.placement = std::array<int32_t, 11>{44, 0, 1, -1, -1, -1, -1, 10, 20, 810, 620};
  ASSERT_TRUE(saveSettings(s, data.folder(), {&window, nullptr}).ok());
  const auto bytes = readBytes(data.file("dTunora.dat"));
  EXPECT_EQ(bytes[8 + 4298 + 12], 0xFF);  // minimised x = -1
  EXPECT_EQ(bytes[8 + 4298 + 36], 0x2A);  // right = 810 = 0x32A
  EXPECT_EQ(bytes[8 + 4298 + 37], 0x03);
}

TEST(SettingsFileTest, SaveWritesOrDeletesTheStatesPlayList) {
  TempDir data;
  Settings s;
  s.set(kCurrentState, 3);
  FakePlayList list;
  list.prepared = 1;
  ASSERT_TRUE(saveSettings(s, data.folder(), {nullptr, &list}).ok());
  ASSERT_EQ(list.written.size(), 1u);
  EXPECT_EQ(list.written[0], data.file("PL4.m3u"));

  list.prepared = kDoNotSavePlayList;  // "Quit but do not save playlist"
  ASSERT_TRUE(saveSettings(s, data.folder(), {nullptr, &list}).ok());
  EXPECT_EQ(list.written.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(data.file("PL4.m3u")));

  list.prepared = 0;
  ASSERT_TRUE(saveSettings(s, data.folder(), {nullptr, &list}).ok());
  EXPECT_FALSE(std::filesystem::exists(data.file("PL4.m3u")));

  list.prepared = 5;  // a save that fails writes no play list either
  EXPECT_FALSE(saveSettings(s, data.file("missing") + "/", {nullptr, &list}).ok());
  EXPECT_EQ(list.written.size(), 1u);
}

// A settings file that is a link is saved through the link, keeping the file's mode, and no
// temporary file is left in either folder.
TEST(SettingsFileTest, ASettingsFileThatIsALinkIsSavedThroughTheLinkKeepingItsMode) {
  TempDir data;
  std::filesystem::create_directories(data.file("real"));
  const std::string target = data.file("real/dTunora.dat");
  writeBytes(target, {1, 2, 3});
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("real/dTunora.dat", data.file("dTunora.dat").c_str()), 0);
  Settings s;
  ASSERT_TRUE(saveSettings(s, data.folder(), {}).ok());
  struct stat st {};
  ASSERT_EQ(::lstat(data.file("dTunora.dat").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(readBytes(target).size(), 7008u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.file("real")), {}), 1);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.folder()), {}), 2);
}

TEST(SettingsFileTest, MissingFillerFileSetsTheFillerDefaults) {
  TempDir data;
  Settings s;
  s.set(kPlayMidi, 1);
  EXPECT_FALSE(loadFillerSettings(data.folder(), s));
  EXPECT_EQ(s.get(IntField{5778}), 5);       // "4 GB"
  EXPECT_EQ(s.get(IntField{5778 + 20}), 1);  // MIDI from the main switch
}

// The data folder's write check: a folder that takes a file keeps nothing of the check; a gone
// one, one that takes no files whoever asks, and one without write permission fail, naming it.
TEST(FolderCheckTest, OnlyAFolderThatTakesAFileIsWritable) {
  TempDir dir;
  EXPECT_TRUE(checkFolderWritable(dir.path().string() + "/").ok());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  for (const std::string& folder : {dir.file("moved"), std::string("/proc")}) {
    const Status s = checkFolderWritable(folder);
    EXPECT_FALSE(s.ok()) << folder;
    EXPECT_NE(s.message().find(folder), std::string::npos) << s.message();
  }
  if (::geteuid() != 0) {  // root writes in spite of the mode
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(checkFolderWritable(dir.path().string()).ok());
    ::chmod(dir.path().c_str(), 0755);
  }
}

std::vector<uint8_t> fileWithListSize(uint8_t list_size) {
  std::vector<uint8_t> record(7000, 0x20);
  record[8] = list_size;
  record[6999] = list_size;
  return testing::settingsFileBytes("TUNO1401", record);
}

TEST(SettingsCrashTest, DeathAtAnyStepLeavesOldOrNewFile) {
  testing::TempDir data;
  const auto old_file = fileWithListSize(1);
  const auto new_file = fileWithListSize(2);
  Settings fresh;
  ASSERT_EQ(decodeSettingsFile(new_file, fresh), 1000);

  int new_seen = 0;
  int old_seen = 0;
  // Steps: created; the header and 14 record chunks of at most 512 bytes; synced, renamed and
  // folder-synced: 19 in all. A 20th death point is past the end: the save completes.
  for (int kill_at = 1; kill_at <= 20; ++kill_at) {
    testing::writeBytes(data.file("dTunora.dat"), old_file);
    const int exit_code = testing::childExit([&] {
      int step = 0;
      ReplaceOptions options;
      options.chunk_size = 512;
      options.TEST_hook = [&](ReplaceStep, size_t) {
        if (++step == kill_at) ::_exit(42);
      };
      return saveSettings(fresh, data.folder(), {}, options).ok() ? 0 : 1;
    });
    EXPECT_EQ(exit_code, kill_at <= 19 ? 42 : 0) << "kill at " << kill_at;

    const auto on_disk = testing::readBytes(data.file("dTunora.dat"));
    Settings loaded;
    const SettingsLoadResult r = loadSettings(data.folder(), data.folder(), loaded);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.record_bytes, 7000u);
    if (on_disk == new_file) {
      ++new_seen;
    } else {
      ASSERT_EQ(on_disk, old_file) << "damaged after a death at step " << kill_at;
      ++old_seen;
    }
    // A death before the rename may leave the temporary file; the next save replaces it.
    for (const auto& entry : std::filesystem::directory_iterator(data.folder())) {
      if (entry.path().filename() != "dTunora.dat") std::filesystem::remove(entry.path());
    }
  }
  EXPECT_EQ(old_seen, 17);  // deaths up to and including the sync
  EXPECT_EQ(new_seen, 3);   // after the rename
}

TEST(SettingsCrashTest, FullDiskKeepsOldFileAndReportsIt) {
  testing::TempDir data;
  const auto old_file = fileWithListSize(1);
  testing::writeBytes(data.file("dTunora.dat"), old_file);
  Settings fresh;
  fresh.set(kListSize, 9);
  // Writes past 3000 bytes fail the way a full disk does.
  const int exit_code = testing::childExit(
      [&] {
        const Status status = saveSettings(fresh, data.folder(), {});
        return status.code() == Status::Code::kNoSpace ? 7 : 1;
      },
      3000);
  EXPECT_EQ(exit_code, 7);
  EXPECT_EQ(testing::readBytes(data.file("dTunora.dat")), old_file);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.folder()), {}), 1);
}

}  // namespace
}  // namespace tunora
