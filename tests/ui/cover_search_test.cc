// Where the cover picture comes from: the song's folder (letter case ignored), the data and
// program directories. (A picture in the tag comes between them.)
#include "ui/cover_search.h"

#include <gtest/gtest.h>

#include "engine/random_source.h"
#include "tests/support/temp_dir.h"

namespace tunora::ui {
namespace {

// Which picture each view shows, by what lies where. Names starting "A/" are in the song's
// folder, "D/" in the data directory, "P/" in the program directory; a name ending in "/" is a
// folder, one ending in "@" a link to nowhere.
TEST(CoverSearchTest, WhichPictureEachViewShows) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::string cover_view, disc_view, list_view;  // chosen for views 1, 2 and 11; "" unchecked
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
    testing::TempDir dir;
    const std::string album = dir.folder() + "Album/", data = dir.folder() + "data/",
                      program = dir.folder() + "program/";
    for (const std::string& d : {album, data, program}) std::filesystem::create_directory(d);
    std::ofstream(album + "01 Song.mp3") << "ID3 not really";
    const auto where = [&](const std::string& name) {
      return (name[0] == 'A' ? album : name[0] == 'D' ? data : program) + name.substr(2);
    };
    for (const std::string& f : c.files) {
      const std::string path = where(f.substr(0, f.size() - (f.back() == '/' || f.back() == '@')));
      if (f.back() == '/') {
        std::filesystem::create_directory(path);
      } else if (f.back() == '@') {
        std::filesystem::create_symlink(album + "gone.jpg", path);
      } else {
        std::ofstream(path) << "picture";
      }
    }
    engine::SeededRandomSource random{7};
    const CoverSearch found = searchCover({album + "01 Song.mp3", 1, data, program}, random);
    for (const auto& [view, expected] :
         {std::pair{1, c.cover_view}, std::pair{2, c.disc_view}, std::pair{11, c.list_view}}) {
      const std::optional<CoverSource> chosen = chooseCover(found, view);
      EXPECT_TRUE(expected.empty() || (chosen ? chosen->path : "") == where(expected))
          << view << ": " << (chosen ? chosen->path : "<none>");
    }
  }
}

}  // namespace
}  // namespace tunora::ui
