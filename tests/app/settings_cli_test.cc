// tunora-cli "settings show" and "settings defaults": the JSON of a hand-built file, its text
// decoding with and without --bytes, and the defaults file's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/command.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora::cli {
namespace {

int run(const std::string& verb, const std::vector<std::string>& words) {
  for (const Command& command : appCommands()) {
    if (command.words[1] == verb) return command.run(Args::parse(words, command.value_options));
  }
  return -1;
}

std::string showJson(const std::vector<std::string>& words) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(run("show", words), 0);
  return ::testing::internal::GetCapturedStdout();
}

TEST(SettingsCliTest, ShowDecodesFieldsAndTexts) {
  testing::TempDir dir;
  std::vector<uint8_t> record(7000, 0);
  testing::putWord(record, 5722, 0xFFFFFFFF);  // EditQueueCount
  record[764] = 'R';                           // UserName[0] = "Ren\xE9\x80" (Windows-1252)
  record[765] = 'e';
  record[766] = 'n';
  record[767] = 0xE9;
  record[768] = 0x80;
  testing::putWord(record, 5778 + 684, 100);  // the buffer level in the filler block
  testing::writeBytes(dir.file("s.dat"), testing::settingsFileBytes("TUNO1400", record));

  const std::string json = showJson({dir.file("s.dat")});
  EXPECT_EQ(json.rfind("{\"version_check\":400,\"CoverArt\":0,", 0), 0u) << json;
  EXPECT_NE(json.find("\"EditQueueCount\":-1,"), std::string::npos);
  EXPECT_NE(json.find("\"UserName\":[\"Ren\xC3\xA9\xE2\x82\xAC\",\"\","), std::string::npos);
  EXPECT_NE(json.find("\"BufferLevel\":100}}\n"), std::string::npos);
  EXPECT_EQ(json.find('\n'), json.size() - 1);

  const std::string exact = showJson({"--bytes", dir.file("s.dat")});
  EXPECT_NE(exact.find("\"UserName\":[\"Ren\xC3\xA9\xC2\x80\","), std::string::npos);
}

TEST(SettingsCliTest, FailuresExitWithOneAndUsageErrorsWithTwo) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run("show", {"/nonexistent/dTunora.dat"}), 1);
  EXPECT_EQ(run("defaults", {"/nonexistent/folder/d.dat"}), 1);
  EXPECT_EQ(run("show", {}), 2);
  EXPECT_EQ(run("defaults", {"a.dat", "b.dat"}), 2);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 4);
}

TEST(SettingsCliTest, DefaultsWriteTheFirstRunRecord) {
  testing::TempDir dir;
  ASSERT_EQ(run("defaults", {dir.file("d.dat")}), 0);
  const std::vector<uint8_t> bytes = testing::readBytes(dir.file("d.dat"));
  ASSERT_EQ(bytes.size(), 7008u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "TUNO1401");
  EXPECT_EQ(bytes[8 + 8], 100);        // ListSize
  EXPECT_EQ(bytes[8 + 32], 0);         // DatabasePath empty
  EXPECT_EQ(bytes[8 + 2314 + 36], 0);  // RatingValue[9] = 512 = 0x200
  EXPECT_EQ(bytes[8 + 2314 + 37], 2);
  EXPECT_EQ(bytes[8 + 2354], 0xE8);  // TargetValue 1000 = 0x3E8
  EXPECT_EQ(bytes[8 + 2354 + 1], 0x03);
  EXPECT_EQ(bytes[8 + 2358], 16);  // DefaultImport

  // --db names the library, as a first run's start-up does.
  ASSERT_EQ(run("defaults", {"--db", "/music/Tunora.mbf", dir.file("e.dat")}), 0);
  const std::vector<uint8_t> with_db = testing::readBytes(dir.file("e.dat"));
  ASSERT_EQ(with_db.size(), 7008u);
  EXPECT_EQ(std::string(with_db.begin() + 8 + 32, with_db.begin() + 8 + 32 + 18),
            std::string("/music/Tunora.mbf\0", 18));
}

}  // namespace
}  // namespace tunora::cli
