// The XDG base folders: which variables count and what each falls back to.
#include "util/xdg_folders.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tunora {
namespace {

TEST(XdgFoldersTest, AbsoluteVariablesCountAndDataAndCacheFallBackUnderHome) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> environment;
    XdgFolder folder;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"data set", {{"XDG_DATA_HOME", "/d/"}, {"HOME", "/h"}}, XdgFolder::kDataHome, "/d"},
      {"data relative",
       {{"XDG_DATA_HOME", "d"}, {"HOME", "/h/"}},
       XdgFolder::kDataHome,
       "/h/.local/share"},
      {"cache set", {{"XDG_CACHE_HOME", "/c"}, {"HOME", "/h"}}, XdgFolder::kCacheHome, "/c"},
      {"cache empty", {{"XDG_CACHE_HOME", ""}, {"HOME", "/h"}}, XdgFolder::kCacheHome, "/h/.cache"},
      {"home relative", {{"HOME", "h"}}, XdgFolder::kCacheHome, std::nullopt},
      {"nothing", {}, XdgFolder::kDataHome, std::nullopt},
      {"runtime set", {{"XDG_RUNTIME_DIR", "/run/user/1"}}, XdgFolder::kRuntimeDir, "/run/user/1"},
      {"runtime never under home", {{"HOME", "/h"}}, XdgFolder::kRuntimeDir, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto lookup = [&](const std::string& name) -> std::optional<std::string> {
      auto it = c.environment.find(name);
      return it == c.environment.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    EXPECT_EQ(xdgFolder(c.folder, lookup), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tunora
