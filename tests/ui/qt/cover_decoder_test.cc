// Cover pictures decode small and never take the memory of a huge or damaged file: a
// 5,000 x 2,500 JPEG comes out at most 1,024 on a side with its shape, and a damaged file gives
// no picture.
#include "ui/qt/cover_decoder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace tunora::ui::qt {
namespace {

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
