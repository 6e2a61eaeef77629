// Cover pictures decode small and never take the memory of a huge or damaged file: a
// 5,000 x 5,000 JPEG comes out at most 1,024 on a side with its shape, damaged files give no
// picture, and a picture embedded in a tag decodes the same way.
#include "ui/qt/cover_decoder.h"

#include <gtest/gtest.h>

#include <QBuffer>
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
  EXPECT_TRUE(decodeCoverPicture(dir.filePath("missing.gif")).isNull());

  // A BMP header that claims 60,000 x 60,000 pixels: refused by the memory limit.
  QByteArray bmp("BM", 2);
  auto put32 = [&bmp](uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp.append(static_cast<char>((v >> (8 * i)) & 0xff));
  };
  put32(54 + 16);
  put32(0);
  put32(54);
  put32(40);
  put32(60000);
  put32(60000);
  bmp.append("\x01\x00\x18\x00", 4);  // planes 1, 24 bits
  for (int i = 0; i < 6; ++i) put32(0);
  bmp.append(QByteArray(16, '\x7f'));
  QBuffer buffer(&bmp);
  buffer.open(QIODevice::ReadOnly);
  const QImage image = decodeCoverPicture(&buffer);
  EXPECT_TRUE(image.isNull() || (image.width() <= 1024 && image.height() <= 1024));
}

}  // namespace
}  // namespace tunora::ui::qt
