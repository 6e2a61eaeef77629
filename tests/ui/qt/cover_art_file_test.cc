// The cover picture as a file for the desktop: each picture the window gets is written as a PNG
// under a new name, the previous one goes, dropping the picture removes the file and so does
// the end; leftovers of copies that no longer run are swept. Pictures decode small and never take
// the memory of a huge or damaged file.
#include "ui/qt/cover_art_file.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"
#include "ui/qt/cover_decoder.h"
#include "ui/qt/cover_picture.h"

namespace tunora::ui::qt {
namespace {

// A picture file made here with Qt's writer, in a plain format the decoder reads.
std::string pictureFile(const testing::TempDir& dir, const std::string& name, int width, int height,
                        QColor color) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(color);
  const std::string path = dir.file(name);
  EXPECT_TRUE(image.save(QString::fromStdString(path), "BMP"));
  return path;
}

TEST(CoverArtFileTest, EachPictureGetsANewFileAndTheOldOnesGo) {
  testing::TempDir songs;
  testing::TempDir run;
  const std::string folder = run.folder() + "tunora/";
  // A leftover of a copy that no longer runs (no such process), and a file that is not ours.
  std::filesystem::create_directories(folder);
  testing::writeText(folder + "cover-999999999-3.png", "old");
  testing::writeText(folder + "notes.txt", "keep");
  std::string first;
  {
    CoverPicture cover;
    cover.keepArtFile(folder);
    const std::string red = pictureFile(songs, "Cover.bmp", 40, 30, Qt::red);
    EXPECT_EQ(cover.load({CoverSource::Kind::kFile, red}).width, 40);
    first = cover.artPath();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.rfind(folder, 0), 0u) << first;
    const QImage written(QString::fromStdString(first), "PNG");
    EXPECT_EQ(written.size(), QSize(40, 30));
    EXPECT_EQ(QColor(written.pixel(5, 5)), QColor(Qt::red));
    EXPECT_FALSE(std::filesystem::exists(folder + "cover-999999999-3.png"));
    EXPECT_TRUE(std::filesystem::exists(folder + "notes.txt"));
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    // A big picture, for the next song: a new name, scaled down; the first file is gone.
    cover.release();
    EXPECT_EQ(cover.artPath(), "");
    EXPECT_FALSE(std::filesystem::exists(first));
    cover.load({CoverSource::Kind::kFile, pictureFile(songs, "Big.bmp", 1600, 800, Qt::blue)});
    const std::string second = cover.artPath();
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second, first);
    EXPECT_EQ(QImage(QString::fromStdString(second)).size(), QSize(512, 256));
    // Loaded again without a release (another view of the same song): replaced as well.
    cover.load({CoverSource::Kind::kFile, pictureFile(songs, "Disc.bmp", 20, 20, Qt::green)});
    EXPECT_TRUE(!std::filesystem::exists(second) && std::filesystem::exists(cover.artPath()));
    first = cover.artPath();
  }
  // The end removes the last file.
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_TRUE(std::filesystem::exists(folder + "notes.txt"));
}

TEST(CoverDecoderTest, HugeJpegDecodesScaledDownAndADamagedOneNotAtAll) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage big(5000, 2500, QImage::Format_Grayscale8);
  big.fill(180);
  const QString path = dir.filePath("cover.JPG");
  ASSERT_TRUE(big.save(path, "JPEG", 50));
  EXPECT_EQ(decodeCoverPicture(path).size(), QSize(1024, 512));

  QFile file(dir.filePath("Cover.jpg"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("\xff\xd8\xff\xe0 this is not a picture at all", 36);
  file.close();
  EXPECT_TRUE(decodeCoverPicture(file.fileName()).isNull());
}

}  // namespace
}  // namespace tunora::ui::qt
