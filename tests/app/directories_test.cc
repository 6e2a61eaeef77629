// The program and data directories (the removable-drive probe's answer faked), and the fixed user
// read from "DefSet.txt". (The installed layout is the installed program's test.)
#include "app/directories.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "settings/fixed_user.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora {
namespace {

using testing::TempDir;

TEST(DirectoriesTest, DefSetMovesTheDataToTheUsersFolderUnlessOnARemovableDrive) {
  TempDir program, home;
  std::map<std::string, std::string> env = {{"XDG_DATA_HOME", program.file("share")}};
  bool removable = false;
  std::vector<std::string> asked;
  const DirectoryProbe probe{program.file("tunora"),
                             [&env](const std::string& name) -> std::optional<std::string> {
                               auto it = env.find(name);
                               if (it == env.end()) return std::nullopt;
                               return it->second;
                             },
                             [&](const std::string& folder) {
                               asked.push_back(folder);
                               return removable;
                             }};
  Directories dirs = findDirectories(probe);
  EXPECT_EQ(dirs.program, program.folder());
  EXPECT_EQ(dirs.data, program.folder()) << "no DefSet.txt: beside the program";
  EXPECT_EQ(asked, std::vector<std::string>{program.folder()});

  testing::writeText(program.file("DefSet.txt"), "03 pinned\r\n" + std::string(100, 'z'));
  env = {{"HOME", home.folder()}};
  dirs = findDirectories(probe);
  EXPECT_EQ(dirs.data, home.folder() + ".local/share/Pellan/Tunora/");
  EXPECT_TRUE(std::filesystem::is_directory(dirs.data));
  EXPECT_EQ(dirs.defset_text[0], '0');
  EXPECT_EQ(dirs.defset_text[63], 'z');
  removable = true;
  dirs = findDirectories(probe);
  EXPECT_EQ(dirs.data, program.folder());
  EXPECT_EQ(dirs.defset_text[0], 0);  // not read: nobody is pinned
}

TEST(DirectoriesTest, FixedUserFromDefSet) {
  const std::pair<const char*, int32_t> rows[] = {{"03", 2},  {"01 anything", 0}, {"09", 8},
                                                  {"00", 9},  {"0\r\n", 0},       {"0", 0},
                                                  {"1", 999}, {" 03", 999},       {"", 999}};
  for (const auto& [text, user] : rows) {
    std::array<uint8_t, kDefSetTextSize> bytes{};
    std::copy_n(text, std::strlen(text), bytes.begin());
    EXPECT_EQ(fixedUserFromDefSet(bytes), user) << text;
  }
}

}  // namespace
}  // namespace tunora
