// tunora-cli table create / info / dump: their output lines and their errors.
#include <gtest/gtest.h>

#include "marlbase/table_handle.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

using testing::runCli;
using testing::shellQuote;
using testing::TempDir;

TEST(TableCommandsTest, CreateInfoAndDumpAnEmptyTable) {
  TempDir dir;
  const std::string path = shellQuote(dir.file("t.mbf"));
  const std::string err = dir.file("err");
  ASSERT_EQ(runCli("table create --columns 14,2,0 " + path, err).status, 0);
  // 4 + 1000 + 4 + 1 = 1009-byte records; 15 slots after 1444 + 24 header bytes.
  const std::string info =
      R"({"columns":[14,2,0],"capacity":10,"live":0,"record_size":1009,"file_size":16604})"
      "\n";
  EXPECT_EQ(runCli("table info " + path, err).out, info);
  EXPECT_EQ(runCli("table dump " + path, err).out, info);
  const auto all = runCli("table dump --all " + path, err).out;
  EXPECT_EQ(all.substr(0, info.size()), info);
  EXPECT_NE(all.find(R"({"slot":9,"status":0,"fields":["",0,0]})"), std::string::npos);
}

TEST(TableCommandsTest, DumpShowsATextFieldAsReadFieldGivesIt) {
  // A type-10 field is 4 bytes wide and holds at most 3 bytes of text: a field whose fourth byte
  // is not a NUL still shows 3.
  TempDir dir;
  const std::string path = dir.file("t.mbf");
  const std::string err = dir.file("err");
  ASSERT_EQ(runCli("table create --columns 10,2 " + shellQuote(path), err).status, 0);
  {
    marlbase::TableHandle table;
    table.setPath(path);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    const int32_t slot = table.allocate();
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(table.writeText(slot, 1, "abc"));
    ASSERT_TRUE(table.writeInt(slot, 2, 7));
    table.close();
  }
  std::vector<uint8_t> bytes = tunora::testing::readBytes(path);
  const std::string image(bytes.begin(), bytes.end());
  const size_t at = image.find(std::string("abc\0\x07", 5));
  ASSERT_NE(at, std::string::npos);
  bytes[at + 3] = 'd';
  tunora::testing::writeBytes(path, bytes);
  for (const char* flag : {"", "--bytes "}) {
    const auto out = runCli(std::string("table dump ") + flag + shellQuote(path), err).out;
    EXPECT_NE(out.find(R"(,"fields":["abc",7]})"), std::string::npos) << out;
  }
}

TEST(TableCommandsTest, UnopenableTablesExitWithOneLineSayingWhy) {
  TempDir dir;
  const std::string err = dir.file("err");
  tunora::testing::writeBytes(dir.file("junk"), std::vector<uint8_t>(100, 'x'));
  auto r = runCli("table info " + shellQuote(dir.file("junk")), err);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tunora-cli: " + dir.file("junk") + ": not a table file\n");
  r = runCli("table dump " + shellQuote(dir.file("missing")), err);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no such file"), std::string::npos);
  r = runCli("table create --columns 2,x " + shellQuote(dir.file("t")), err);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(runCli("table info --help", err).status, 0);
}

}  // namespace
}  // namespace tunora
