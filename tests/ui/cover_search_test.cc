// Where the cover picture comes from: the song's folder (letter case ignored), the data and
// program directories. (A picture in the tag comes between them.)
#include "ui/cover_search.h"

#include <gtest/gtest.h>

#include "engine/random_source.h"
#include "tests/support/temp_dir.h"

namespace tunora::ui {
namespace {

class CoverSearchTest : public ::testing::Test {
 protected:
  // The three folders, empty but for the song.
  void SetUp() override {
    for (const std::string& d : {album_, data_, program_}) {
      std::filesystem::remove_all(d);
      std::filesystem::create_directory(d);
    }
    put(album_ + "01 Song.mp3", "ID3 not really");
  }
  static void put(const std::string& path, const std::string& bytes = "picture") {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  CoverSearch search(uint32_t type = 1) {
    CoverQuery q{album_ + "01 Song.mp3", type, data_, program_};
    return searchCover(q, random_);
  }
  std::optional<std::string> chosen(int32_t view) {
    std::optional<CoverSource> c = chooseCover(search(), view);
    if (!c) return std::nullopt;
    return c->path;
  }

  testing::TempDir dir_;
  std::string album_ = dir_.folder() + "Album/", data_ = dir_.folder() + "data/",
              program_ = dir_.folder() + "program/";
  engine::SeededRandomSource random_{7};
};

// Which picture each view shows, by what lies where. Names starting "A/" are in the song's
// folder, "D/" in the data directory, "P/" in the program directory; a name ending in "/" is a
// folder, one ending in "@" a link to nowhere.
TEST_F(CoverSearchTest, WhichPictureEachViewShows) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::string cover_view, disc_view, list_view;  // chosen for views 1, 2 and 11; "" none
  };
  const Case cases[] = {
      {"any letter case",
       {"A/cover.JPG", "A/DISC.gif"},
       "A/cover.JPG",
       "A/DISC.gif",
       "A/cover.JPG"},
      {"extensions in order", {"A/Cover.gif", "A/Cover.bmp"}, "A/Cover.bmp", "A/Cover.bmp", ""},
      {"jpg first", {"A/Cover.gif", "A/Cover.jpg"}, "A/Cover.jpg", "A/Cover.jpg", ""},
      {"Folder.jpg", {"A/Folder.jpg", "A/zzz.jpg"}, "A/Folder.jpg", "A/Folder.jpg", "A/Folder.jpg"},
      {"another name", {"A/scan.BMP", "A/notes.txt"}, "A/scan.BMP", "A/scan.BMP", ""},
      {"data before program", {"P/Cover.jpg", "D/Cover.bmp"}, "D/Cover.bmp", "D/Cover.bmp", ""},
      {"link to nowhere", {"A/Cover.jpg@", "A/Cover.gif"}, "A/Cover.gif", "A/Cover.gif", ""},
      {"folder named like a picture", {"A/Cover.jpg/", "A/Cover.png"}, "A/Cover.png", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    auto where = [&](const std::string& name) {
      const std::string& folder = name[0] == 'A' ? album_ : name[0] == 'D' ? data_ : program_;
      return folder + name.substr(2);
    };
    for (const std::string& f : c.files) {
      if (f.back() == '/') {
        std::filesystem::create_directory(where(f.substr(0, f.size() - 1)));
      } else if (f.back() == '@') {
        std::filesystem::create_symlink(album_ + "gone.jpg", where(f.substr(0, f.size() - 1)));
      } else {
        put(where(f));
      }
    }
    EXPECT_EQ(chosen(1).value_or(""), c.cover_view.empty() ? "" : where(c.cover_view));
    EXPECT_EQ(c.disc_view.empty() ? "" : chosen(2).value_or(""),
              c.disc_view.empty() ? "" : where(c.disc_view));
    EXPECT_EQ(c.list_view.empty() ? "" : chosen(11).value_or(""),
              c.list_view.empty() ? "" : where(c.list_view));
  }
}

}  // namespace
}  // namespace tunora::ui
