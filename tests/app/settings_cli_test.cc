// tunora-cli "settings show": the JSON of a hand-built file and its text decoding with and
// without --bytes. (The defaults' bytes and the exit codes are the settings and command tests'.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/command.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora::cli {
namespace {

std::string showJson(const std::vector<std::string>& words) {
  ::testing::internal::CaptureStdout();
  for (const Command& c : appCommands()) {
    if (c.words[1] == "show") {
      EXPECT_EQ(c.run(Args::parse(words, c.value_options)), 0);
    }
  }
  return ::testing::internal::GetCapturedStdout();
}

TEST(SettingsCliTest, ShowDecodesFieldsAndTexts) {
  testing::TempDir dir;
  std::vector<uint8_t> record(7000, 0);
  testing::putWord(record, 5722, 0xFFFFFFFF);           // EditQueueCount
  std::copy_n("Ren\xE9\x80", 5, record.begin() + 764);  // UserName[0], in Windows-1252
  testing::putWord(record, 5778 + 684, 100);            // the buffer level in the filler block
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

}  // namespace
}  // namespace tunora::cli
