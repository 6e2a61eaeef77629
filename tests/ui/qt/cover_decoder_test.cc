// Cover pictures decode small and never take the memory of a huge or damaged file: a
// 5,000 x 2,500 JPEG comes out at most 1,024 on a side with its shape, and damaged or missing
// files give no picture.
#include "ui/qt/cover_decoder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace tunora::ui::qt {
namespace {

TEST(CoverDecoderTest, HugeJpegDecodesScaledDown) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage big(5000, 2500, QImage::Format_Grayscale8);
  big.fill(180);
  const QString path = dir.filePath("cover.JPG");
  ASSERT_TRUE(big.save(path, "JPEG", 50));
  const QImage image = decodeCoverPicture(path);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 1024);
  EXPECT_EQ(image.height(), 512);
}

TEST(CoverDecoderTest, DamagedFilesGiveNoPicture) {
  QTemporaryDir dir;
  const QString junk = dir.filePath("Cover.jpg");
  QFile file(junk);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("\xff\xd8\xff\xe0 this is not a picture at all", 36);
  file.close();
  EXPECT_TRUE(decodeCoverPicture(junk).isNull());
}

}  // namespace
}  // namespace tunora::ui::qt
