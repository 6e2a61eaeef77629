// A picture embedded in an ID3v2.3 tag, from bytes laid out here by hand; the frame walk itself
// is the tag reader's and tested with it, and damaged tags are the tag fuzz target's.
#include "media/embedded_picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunora::media {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(EmbeddedPictureTest, ReadsAnApicFrameOfVersion23ByteForByte) {
  // "ID3" 3.0, no flags, size 35; APIC of 24 bytes: encoding 0, "image/png" NUL, type 3, ""
  // NUL, "PNGDATA!" 1 2 3; one padding byte.
  const Bytes bytes = {'I', 'D', '3', 3,   0,   0,   0,   0,   0,   35,  'A', 'P', 'I', 'C', 0,
                       0,   0,   24,  0,   0,   0,   'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g',
                       0,   3,   0,   'P', 'N', 'G', 'D', 'A', 'T', 'A', '!', 1,   2,   3,   0};
  MemoryTagSource source(bytes);
  const std::optional<EmbeddedPicture> p = readEmbeddedPicture(source);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->mime + ":" + std::to_string(p->picture_type) + ":" +
                std::string(p->bytes.begin(), p->bytes.end()),
            std::string("image/png:3:PNGDATA!\x01\x02\x03"));
}

}  // namespace
}  // namespace tunora::media
