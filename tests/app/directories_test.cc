// The program and data directories (the removable-drive probe's answer faked), and the fixed user
// read from "DefSet.txt". (The installed layout is the installed program's test.)
#include "app/directories.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <map>

#include "app/removable_drive.h"
#include "settings/fixed_user.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora {
namespace {

using testing::TempDir;

struct ProbeSetup {
  std::map<std::string, std::string> env;
  bool removable = false;
  std::vector<std::string> asked;

  DirectoryProbe probe(const std::string& program_path) {
    DirectoryProbe p;
    p.program_path = program_path;
    p.environment = [this](const std::string& name) -> std::optional<std::string> {
      auto it = env.find(name);
      return it == env.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    p.is_removable = [this](const std::string& folder) {
      asked.push_back(folder);
      return removable;
    };
    return p;
  }
};

TEST(DirectoriesTest, DefSetMovesTheDataToTheUsersFolderUnlessOnARemovableDrive) {
  TempDir program, home;
  ProbeSetup setup;
  setup.env["XDG_DATA_HOME"] = program.file("share");
  Directories dirs = findDirectories(setup.probe(program.file("tunora")));
  EXPECT_EQ(dirs.program, program.folder());
  EXPECT_EQ(dirs.data, program.folder()) << "no DefSet.txt: beside the program";
  EXPECT_EQ(setup.asked, std::vector<std::string>{program.folder()});

  testing::writeText(program.file("DefSet.txt"), "03 pinned\r\n" + std::string(100, 'z'));
  setup.env = {{"HOME", home.folder()}};
  dirs = findDirectories(setup.probe(program.file("tunora")));
  EXPECT_EQ(dirs.data, home.folder() + ".local/share/Pellan/Tunora/");
  EXPECT_TRUE(std::filesystem::is_directory(dirs.data));
  EXPECT_EQ(dirs.defset_text[0], '0');
  EXPECT_EQ(dirs.defset_text[63], 'z');
  setup.removable = true;
  dirs = findDirectories(setup.probe(program.file("tunora")));
  EXPECT_EQ(dirs.data, program.folder());
  EXPECT_EQ(dirs.defset_text[0], 0);  // not read: nobody is pinned
}

std::array<uint8_t, kDefSetTextSize> defset(const std::string& text) {
  std::array<uint8_t, kDefSetTextSize> bytes{};
  std::copy(text.begin(), text.end(), bytes.begin());
  return bytes;
}

TEST(DirectoriesTest, FixedUserFromDefSet) {
  const std::pair<const char*, int32_t> rows[] = {{"03", 2},  {"01 anything", 0}, {"09", 8},
                                                  {"00", 9},  {"0\r\n", 0},       {"0", 0},
                                                  {"1", 999}, {" 03", 999},       {"", 999}};
  for (const auto& [text, user] : rows) EXPECT_EQ(fixedUserFromDefSet(defset(text)), user) << text;
}

}  // namespace
}  // namespace tunora
