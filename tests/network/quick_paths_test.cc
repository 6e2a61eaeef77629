// The skipped refresh and the block write-back give the share's file exactly the bytes of the
// plain algorithm (whole copies both ways), and cut the traffic on the share.
#include <filesystem>
#include <random>

#include "tests/network/network_fixture.h"

namespace tunora::testing {
namespace {

TEST_F(NetworkTest, QuickPathsGiveTheSharesFileThePlainAlgorithmsBytes) {
  for (const char* name : {"quick.mbf", "plain.mbf"})
    writeBytes(dir_.file(name), readBytes(share_));
  Computer quick(dir_.file("quick.mbf"), dir_.file("quick-local.mbf"), true);
  Computer plain(dir_.file("plain.mbf"), dir_.file("plain-local.mbf"));
  std::mt19937 rng(7);
  for (int step = 0; step < 120; ++step) {
    const uint32_t op = rng() % 6;
    const uint32_t a = rng(), b = rng();
    for (Computer* w : {&quick, &plain}) {
      marlbase::TableHandle& t = w->table;
      switch (op) {
        case 0:
        case 1: {  // an edit of a few fields
          ASSERT_TRUE(w->library.openLibraryForWriting());
          const int32_t live = t.liveCount();
          for (uint32_t k = 0; k < 1 + b % 4; ++k) {
            const int32_t slot = t.nthLive(1 + static_cast<int32_t>((a + k * 7919) % live));
            ASSERT_TRUE(t.writeInt(slot, kColPlayCount, b + k));
          }
          w->library.closeLibraryAfterWriting();
          break;
        }
        case 2: {  // new records, which grow the file now and then
          ASSERT_TRUE(w->library.openLibraryForWriting());
          for (uint32_t k = 0; k < 1 + a % 40; ++k) {
            const int32_t slot = t.allocate();
            ASSERT_GE(slot, 0);
            ASSERT_TRUE(t.writeText(slot, kColFileName, "/m/" + std::to_string(b + k)));
          }
          w->library.closeLibraryAfterWriting();
          break;
        }
        case 3: {  // a deletion
          ASSERT_TRUE(w->library.openLibraryForWriting());
          if (t.liveCount() > 5) (void)t.setStatus(t.nthLive(2 + static_cast<int32_t>(a % 3)), 5);
          w->library.closeLibraryAfterWriting();
          break;
        }
        case 4: {  // another computer edits the share's file
          marlbase::TableHandle other;
          other.setPath(w->share);
          other.setWritable(true);
          ASSERT_TRUE(other.open().ok());
          ASSERT_TRUE(other.writeText(other.nthLive(1), kColNote, std::to_string(a)));
          other.close();
          break;
        }
        default:  // reads, now and then with a refresh
          if (b % 2 == 0) network::setChangeCounter(w->context, network::kStaleCounter);
          w->library.openLibraryForReading();
          t.close();
      }
    }
    ASSERT_EQ(readBytes(quick.share), readBytes(plain.share)) << "step " << step << " op " << op;
    ASSERT_EQ(readBytes(quick.context.local_copy_path), readBytes(plain.context.local_copy_path))
        << "step " << step;
  }
  EXPECT_EQ(quick.words.build_request.load(), 0);
  EXPECT_LT(quick.library.shareTraffic().written, plain.library.shareTraffic().written / 2);
  EXPECT_LT(quick.library.shareTraffic().read, plain.library.shareTraffic().read / 3);
}

}  // namespace
}  // namespace tunora::testing
