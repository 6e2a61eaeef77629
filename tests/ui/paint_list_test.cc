// The paint list: which lines are drawn at which height, and how long texts are shortened. (The
// stars, the picture area and the window's look are measured in the desktop program's screenshots.)
#include "ui/paint_list.h"

#include <gtest/gtest.h>

#include "ui/text_fit.h"

namespace tunora::ui {
namespace {

using Kind = PaintOp::Kind;
using Elide = PaintOp::Elide;

std::vector<PaintOp> ofKind(const std::vector<PaintOp>& ops, Kind kind) {
  std::vector<PaintOp> out;
  for (const PaintOp& op : ops) {
    if (op.kind == kind) out.push_back(op);
  }
  return out;
}

// The text drawn at (x, y); "<none>" when nothing is.
std::string textAt(const std::vector<PaintOp>& ops, int32_t x, int32_t y) {
  for (const PaintOp& op : ops) {
    if (op.kind == Kind::kText && op.rect.x == x && op.rect.y == y) return op.text;
  }
  return "<none>";
}

PaintInput song(int32_t w, int32_t h) {
  PaintInput in;
  in.width = w;
  in.height = h;
  in.song = {"/music/Artist/Album/01 Song.mp3", "Song", "Artist", "Album", "Comment"};
  in.rating_values = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
  in.score = 35;  // three stars
  return in;
}

// A measure of 10 pixels a character ("…" counts as one).
int32_t tenPerCharacter(std::string_view text) {
  int32_t n = 0;
  for (char c : text) n += (static_cast<uint8_t>(c) & 0xC0) != 0x80 ? 1 : 0;
  return 10 * n;
}

TEST(TextFitTest, ShortensByCharactersOrPixelsKeepingStartOrEnd) {
  const std::string umlauts = "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4";  // ÄÖÜä
  struct Case {
    std::string text;
    int32_t width;  // pixels; a negative one: -characters for keepStart/keepEnd
    Elide elide;
    std::string fitted;
  };
  for (const Case& c : {
           Case{"abcdefg", -6, Elide::kKeepStart, "abcdef…"},
           Case{"abcdefg", -6, Elide::kKeepEnd, "…bcdefg"},
           Case{umlauts, -3, Elide::kKeepStart, "\xC3\x84\xC3\x96\xC3\x9C…"},
           Case{"abcdef", 60, Elide::kKeepStart, "abcdef"},   // fits exactly
           Case{"abcdefg", 69, Elide::kKeepStart, "abcde…"},  // not a pixel more
           Case{"abcdefg", 60, Elide::kKeepEnd, "…cdefg"},
           Case{"abcdefg", 0, Elide::kKeepStart, "abcdefg"},         // no limit
           Case{"abcdefghij…", 60, Elide::kKeepStart, "abcde…"},     // marked once, not twice
           Case{umlauts, 30, Elide::kKeepEnd, "…\xC3\x9C\xC3\xA4"},  // whole characters
       }) {
    const std::string fitted = c.width >= 0 ? fitToWidth(c.text, c.width, c.elide, tenPerCharacter)
                               : c.elide == Elide::kKeepStart ? keepStart(c.text, -c.width)
                                                              : keepEnd(c.text, -c.width);
    EXPECT_EQ(fitted, c.fitted) << c.text << " in " << c.width;
  }
}

TEST(PaintTest, LinesAppearWithHeightAndLongTextsAreShortenedByWidth) {
  struct Case {
    int32_t h;
    bool artist, album, path, comment;
    size_t stars;
  };
  for (Case c : {Case{120, false, false, false, false, 0}, Case{121, false, false, false, false, 3},
                 Case{176, true, false, false, false, 3}, Case{211, true, true, false, false, 3},
                 Case{250, true, true, false, false, 3}, Case{251, true, true, true, false, 3},
                 Case{291, true, true, true, true, 3}}) {
    const std::vector<PaintOp> ops = paintDisplay(song(630, c.h));
    EXPECT_EQ(textAt(ops, 3, 30), "Song") << c.h;
    EXPECT_EQ(textAt(ops, 3, 80) != "<none>", c.artist) << c.h;
    EXPECT_EQ(textAt(ops, 3, 100) != "<none>", c.album) << c.h;
    EXPECT_EQ(textAt(ops, 3, 123) != "<none>", c.path) << c.h;
    EXPECT_EQ(textAt(ops, 3, 145) != "<none>", c.comment) << c.h;
    EXPECT_EQ(ofKind(ops, Kind::kStar).size(), c.stars) << c.h;
  }
  // Title W/21 = 30 characters, path W/18 = 35 from its end; a narrow window: title W/10.
  PaintInput in = song(630, 600);
  const std::string title40(40, 't');
  in.song.title = title40;
  in.song.path = "/music/" + std::string(30, 'p') + "/tail-of-the-path-is-kept-here.mp3";
  const std::vector<PaintOp> ops = paintDisplay(in);
  EXPECT_EQ(textAt(ops, 3, 30), title40.substr(0, 30) + "…");
  EXPECT_EQ(textAt(ops, 3, 123), "…" + in.song.path.substr(in.song.path.size() - 35));
  in.width = 250;
  EXPECT_EQ(textAt(paintDisplay(in), 3, 30), title40.substr(0, 25) + "…");
}

// Lines taller than their font size (as real fonts are): each line starts below the last.
TEST(PaintTest, TallerFontsPushTheLinesBelowDown) {
  PaintInput in = song(800, 600);
  in.line_height = [](int32_t px) { return px + px / 4; };  // 31, 25, 22, 20
  std::vector<PaintOp> ops = paintDisplay(in);
  EXPECT_EQ(ofKind(ops, Kind::kStar)[0].rect.y, 61) << "below the title's 30 + 31";
  EXPECT_EQ(textAt(ops, 3, 105), "Album") << "80 + 25";
  EXPECT_EQ(textAt(ops, 3, 152), "Comment") << "130 + 22";
}

}  // namespace
}  // namespace tunora::ui
