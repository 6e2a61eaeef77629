// Text decoding against byte sequences written out by hand: UTF-8 validation at its edges, the
// Windows-1252 and one-byte-per-code-point readings, ASCII-only case folding.
#include "util/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace tunora {
namespace {

TEST(TextCodecTest, Utf8ValidationAcceptsTheEdgesAndRejectsEveryMalformedForm) {
  for (const char* good :
       {"", "plain", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
        "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "caf\xC3\xA9 \xE2\x82\xAC"}) {
    EXPECT_TRUE(isValidUtf8(good)) << good;
  }
  // A lone continuation byte, overlong forms, surrogates, above U+10FFFF, five bytes, cut short,
  // a lead byte without its continuation.
  for (const char* bad : {"\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",
                          "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80",
                          "\xF8\x88\x80\x80\x80", "\xE2\x82", "ok\xC3", "\xC3\x28"}) {
    EXPECT_FALSE(isValidUtf8(bad)) << testing::PrintToString(std::string(bad));
  }
}

TEST(TextCodecTest, Windows1252MapsTheHighControlsAndLeavesLatin1AsIs) {
  EXPECT_EQ(windows1252ToUtf8("A\x80"), "A\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(windows1252ToUtf8("\x85"), "\xE2\x80\xA6");    // ellipsis
  EXPECT_EQ(windows1252ToUtf8("\x9F"), "\xC5\xB8");        // Y with diaeresis
  EXPECT_EQ(windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"),     // undefined: C1 controls
            "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(windows1252ToUtf8("\xA0\xE9\xFF"), "\xC2\xA0\xC3\xA9\xC3\xBF");
  EXPECT_EQ(windows1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextCodecTest, Latin1AndDisplayTextWhichKeepsValidUtf8AndReadsAnythingElseAsWindows1252) {
  EXPECT_EQ(latin1ToUtf8("\x80\x9F\xFF"
                         "a"),
            "\xC2\x80\xC2\x9F\xC3\xBF"
            "a");
  EXPECT_EQ(displayText("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(displayText("caf\xE9"), "caf\xC3\xA9");
  // One bad byte makes the whole text Windows-1252, the valid pair included.
  EXPECT_EQ(displayText("\xC3\xA9\x80"), "\xC3\x83\xC2\xA9\xE2\x82\xAC");
}

TEST(TextCodecTest, CaseFoldingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(asciiLower("ABC xyz @[`{ \xC3\x84\xC3\xA4"), "abc xyz @[`{ \xC3\x84\xC3\xA4");
  EXPECT_TRUE(equalIgnoringAsciiCase("/Music/Song.MP3", "/music/song.mp3"));
  EXPECT_FALSE(equalIgnoringAsciiCase("\xC3\x84", "\xC3\xA4"));
  EXPECT_FALSE(equalIgnoringAsciiCase("abc", "abcd"));
  EXPECT_FALSE(equalIgnoringAsciiCase("@", "`"));  // 0x40 and 0x60 differ by the case bit only
}

TEST(TextCodecTest, AppendUtf8WritesEachLengthAtItsBoundaries) {
  std::string out;
  for (char32_t cp : {U'\x7F', U'\x80', U'\x7FF', U'\x800', U'\xFFFF', U'\x10000', U'\x10FFFF'}) {
    appendUtf8(out, cp);
  }
  EXPECT_EQ(out,
            "\x7F"
            "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
}

}  // namespace
}  // namespace tunora
