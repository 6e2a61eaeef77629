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

TEST(TableCommandsTest, DumpDecodesTextsAndShowsBytesOnRequest) {
  TempDir dir;
  // A one-column table (type 11) with capacity 1 whose live slot 0 holds the bytes C3 84 22 80:
  // "Ä" in UTF-8, a quote, and a byte that is not UTF-8.
  std::vector<uint8_t> bytes(6444, 0);
  const char head[] = "DATA1000";
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(head[i]);
  bytes[608] = 1, bytes[1352] = 2, bytes[1356] = 1, bytes[1360] = 1, bytes[1364] = 2;
  bytes[1444] = 11, bytes[1448] = 0xB0, bytes[1449] = 0x05;  // field offset 1452 + 4 = 1456
  bytes[1452] = 10;
  bytes[1456] = 0xC3, bytes[1457] = 0x84, bytes[1458] = '"', bytes[1459] = 0x80;
  const std::string path = dir.file("t.mbf");
  tunora::testing::writeBytes(path, bytes);
  const std::string err = dir.file("err");
  const auto out = runCli("table dump " + shellQuote(path), err).out;
  // Not valid UTF-8 (0x80 alone): read as Windows-1252, 0x80 is the euro sign.
  EXPECT_NE(
      out.find("{\"slot\":0,\"status\":10,\"fields\":[\"\xC3\x83\xE2\x80\x9E\\\"\xE2\x82\xAC\"]}"),
      std::string::npos)
      << out;
  const auto exact = runCli("table dump --bytes " + shellQuote(path), err).out;
  EXPECT_NE(exact.find("[\"\xC3\x83\xC2\x84\\\"\xC2\x80\"]"), std::string::npos) << exact;
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
