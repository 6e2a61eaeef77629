// Where the cover picture comes from: the song's folder (letter case ignored), the tag, the data
// and program directories.
#include "ui/cover_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/random_source.h"
#include "tests/support/temp_dir.h"

namespace tunora::ui {
namespace {

class CoverSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    album_ = dir_.folder() + "Album/";
    data_ = dir_.folder() + "data/";
    program_ = dir_.folder() + "program/";
    for (const std::string& d : {album_, data_, program_}) std::filesystem::create_directory(d);
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
  std::string album_, data_, program_;
  engine::SeededRandomSource random_{7};
};

TEST_F(CoverSearchTest, CoverAndDiscInAnyLetterCase) {
  put(album_ + "cover.JPG");
  put(album_ + "DISC.gif");
  CoverSearch s = search();
  ASSERT_TRUE(s.cover);
  ASSERT_TRUE(s.disc);
  EXPECT_TRUE(s.bothFound());
  EXPECT_EQ(chosen(1), album_ + "cover.JPG");
  EXPECT_EQ(chosen(2), album_ + "DISC.gif");
  EXPECT_EQ(chosen(11), album_ + "cover.JPG") << "list views keep the cover";
}

TEST_F(CoverSearchTest, ExtensionsAreTriedInOrder) {
  put(album_ + "Cover.gif");
  put(album_ + "Cover.bmp");
  EXPECT_EQ(chosen(1), album_ + "Cover.bmp");
  put(album_ + "Cover.jpg");
  EXPECT_EQ(chosen(1), album_ + "Cover.jpg");
}

TEST_F(CoverSearchTest, OnlyOnePictureOfTheTwoIsShownWhateverTheView) {
  put(album_ + "Disc.jpg");
  EXPECT_EQ(chosen(1), album_ + "Disc.jpg");
  EXPECT_EQ(chosen(2), album_ + "Disc.jpg");
}

TEST_F(CoverSearchTest, FolderJpgIsShownWhateverTheView) {
  put(album_ + "Folder.jpg");
  put(album_ + "zzz.jpg");
  for (int32_t view : {1, 2, 10, 14}) EXPECT_EQ(chosen(view), album_ + "Folder.jpg") << view;
  EXPECT_FALSE(search().disc);
}

TEST_F(CoverSearchTest, ASinglePictureOfAnotherNameIsShown) {
  put(album_ + "scan.BMP");
  put(album_ + "notes.txt");
  EXPECT_EQ(chosen(1), album_ + "scan.BMP");
  EXPECT_EQ(chosen(2), album_ + "scan.BMP");
}

TEST_F(CoverSearchTest, RandomPickStaysAmongTheJpegsWhenThereAreSome) {
  put(album_ + "a.jpg");
  put(album_ + "b.jpeg");
  put(album_ + "c.gif");
  for (int i = 0; i < 20; ++i) {
    std::optional<std::string> c = chosen(1);
    ASSERT_TRUE(c);
    EXPECT_TRUE(*c == album_ + "a.jpg" || *c == album_ + "b.jpeg") << *c;
  }
}

TEST_F(CoverSearchTest, DataDirectoryThenProgramDirectoryFallback) {
  put(program_ + "Cover.jpg");
  EXPECT_EQ(chosen(2), program_ + "Cover.jpg");
  put(data_ + "Cover.bmp");
  CoverSearch s = search();
  EXPECT_FALSE(s.cover);
  EXPECT_FALSE(s.disc);
  ASSERT_TRUE(s.fallback);
  EXPECT_EQ(s.fallback->path, data_ + "Cover.bmp");
  EXPECT_EQ(chosen(1), data_ + "Cover.bmp");
}

TEST_F(CoverSearchTest, EmbeddedPictureComesBeforeTheFallbacks) {
  put(data_ + "Cover.bmp");
  // ID3v2.3 with one APIC frame: encoding 0, "image/jpeg", front cover, no description, "JPEG".
  const std::string tag(
      "ID3\x03\x00\x00\x00\x00\x00\x1c"
      "APIC\x00\x00\x00\x12\x00\x00"
      "\x00image/jpeg\x00\x03\x00JPEG",
      38);
  put(album_ + "01 Song.mp3", tag + "audio");
  CoverSearch s = search();
  ASSERT_TRUE(s.fallback);
  EXPECT_EQ(s.fallback->kind, CoverSource::Kind::kEmbedded);
  EXPECT_EQ(s.fallback->path, album_ + "01 Song.mp3");
  // A picture in the folder still comes first.
  put(album_ + "Cover.jpg");
  EXPECT_EQ(chosen(1), album_ + "Cover.jpg");
}

TEST_F(CoverSearchTest, VideoNeverGetsAPicture) {
  put(album_ + "Cover.jpg");
  put(data_ + "Cover.jpg");
  for (uint32_t type : {16u, 17u, 18u}) EXPECT_FALSE(search(type).found()) << type;
  EXPECT_TRUE(search(5).found());
}

TEST_F(CoverSearchTest, NothingAnywhere) {
  EXPECT_FALSE(search().found());
  EXPECT_FALSE(chooseCover(search(), 1));
}

TEST_F(CoverSearchTest, ALinkToNowhereIsNoPicture) {
  std::filesystem::create_symlink(album_ + "gone.jpg", album_ + "Cover.jpg");
  put(album_ + "Cover.gif");
  EXPECT_EQ(chosen(1), album_ + "Cover.gif");
}

TEST_F(CoverSearchTest, AFolderNamedLikeAPictureIsNoPicture) {
  std::filesystem::create_directory(album_ + "Cover.jpg");
  put(album_ + "Cover.png");
  EXPECT_EQ(chosen(1), album_ + "Cover.png");
}

}  // namespace
}  // namespace tunora::ui
