// The paint list: what is drawn where, in which size, and how long texts are shortened.
#include "ui/paint_list.h"

#include <gtest/gtest.h>

#include "ui/text_fit.h"

namespace tunora::ui {
namespace {

using Kind = PaintOp::Kind;

std::vector<PaintOp> ofKind(const std::vector<PaintOp>& ops, Kind kind) {
  std::vector<PaintOp> out;
  for (const PaintOp& op : ops) {
    if (op.kind == kind) out.push_back(op);
  }
  return out;
}

// The text drawn at (x, y), or nullopt.
std::optional<PaintOp> textAt(const std::vector<PaintOp>& ops, int32_t x, int32_t y) {
  for (const PaintOp& op : ops) {
    if (op.kind == Kind::kText && op.rect.x == x && op.rect.y == y) return op;
  }
  return std::nullopt;
}

PaintInput song(int32_t w, int32_t h) {
  PaintInput in;
  in.width = w;
  in.height = h;
  in.song = {"/music/Artist/Album/01 Song.mp3", "Song", "Artist", "Album", "Comment"};
  in.rating_values = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
  return in;
}

QuickLinkList listOf(int n) {
  QuickLinkList list;
  list.header = "Other songs from this album";
  for (int i = 0; i < n; ++i) list.entries.push_back({"Entry " + std::to_string(i), 100 + i});
  return list;
}

TEST(TextFitTest, KeepStartAndKeepEndCountCharactersNotBytes) {
  const std::string umlauts = "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC";  // ÄÖÜäöü
  EXPECT_EQ(keepStart("abcdef", 6), "abcdef");
  EXPECT_EQ(keepStart("abcdefg", 6), "abcdef…");
  EXPECT_EQ(keepEnd("abcdef", 6), "abcdef");
  EXPECT_EQ(keepEnd("abcdefg", 6), "…bcdefg");
  EXPECT_EQ(keepStart("abc", 0), "…");
  EXPECT_EQ(keepEnd("abc", 0), "…");
  EXPECT_EQ(keepStart("", 0), "");
  EXPECT_EQ(keepStart(umlauts, 6), umlauts);
  EXPECT_EQ(keepStart(umlauts, 3), "\xC3\x84\xC3\x96\xC3\x9C…");
  EXPECT_EQ(keepEnd(umlauts, 2), "…\xC3\xB6\xC3\xBC");
}

TEST(PaintTest, LongTitleAndPathAreShortenedByWidth) {
  PaintInput in = song(630, 600);  // title W/21 = 30, path W/18 = 35, artist W/8 = 78
  const std::string title40 = "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJ";
  in.song.title = title40;
  in.song.path = "/music/" + std::string(30, 'p') + "/tail-of-the-path-is-kept-here.mp3";
  std::vector<PaintOp> ops = paintDisplay(in);
  ASSERT_TRUE(textAt(ops, 3, 30));
  EXPECT_EQ(textAt(ops, 3, 30)->text, title40.substr(0, 30) + "…");
  EXPECT_EQ(textAt(ops, 3, 30)->font_px, 25);
  ASSERT_TRUE(textAt(ops, 3, 123));
  EXPECT_EQ(textAt(ops, 3, 123)->text, "…" + in.song.path.substr(in.song.path.size() - 35));
  EXPECT_EQ(textAt(ops, 3, 123)->font_px, 18);

  in.song.title = title40.substr(0, 30);
  EXPECT_EQ(textAt(paintDisplay(in), 3, 30)->text, title40.substr(0, 30)) << "exactly W/21";

  // A narrow window shortens the title by W/10.
  PaintInput narrow = song(300, 600);
  narrow.song.title = title40;
  EXPECT_EQ(textAt(paintDisplay(narrow), 3, 30)->text, title40.substr(0, 30) + "…");
  narrow.width = 250;
  EXPECT_EQ(textAt(paintDisplay(narrow), 3, 30)->text, title40.substr(0, 25) + "…");
}

TEST(PaintTest, LinesAppearWithHeight) {
  struct Case {
    int32_t h;
    bool artist, album, path, comment, stars;
  };
  for (Case c :
       {Case{61, false, false, false, false, false}, Case{120, false, false, false, false, false},
        Case{121, false, false, false, false, true}, Case{175, false, false, false, false, true},
        Case{176, true, false, false, false, true}, Case{211, true, true, false, false, true},
        Case{250, true, true, false, false, true}, Case{251, true, true, true, false, true},
        Case{291, true, true, true, true, true}}) {
    PaintInput in = song(630, c.h);
    in.score = 35;  // three stars
    std::vector<PaintOp> ops = paintDisplay(in);
    EXPECT_TRUE(textAt(ops, 3, 30)) << c.h;
    EXPECT_EQ(textAt(ops, 3, 80).has_value(), c.artist) << c.h;
    EXPECT_EQ(textAt(ops, 3, 100).has_value(), c.album) << c.h;
    EXPECT_EQ(textAt(ops, 3, 123).has_value(), c.path) << c.h;
    EXPECT_EQ(textAt(ops, 3, 145).has_value(), c.comment) << c.h;
    EXPECT_EQ(ofKind(ops, Kind::kStar).size(), c.stars ? 3u : 0u) << c.h;
  }
}

TEST(PaintTest, TinyWindowDrawsTheWholeTitleInAThirdOfItsHeight) {
  PaintInput in = song(630, 60);
  in.song.title = std::string(100, 't');
  in.score = 100;
  std::vector<PaintOp> ops = paintDisplay(in);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].kind, Kind::kFill);
  EXPECT_EQ(ops[0].rect, (Rect{0, 30, 305, 0}));
  EXPECT_EQ(ops[1].text, in.song.title);
  EXPECT_EQ(ops[1].font_px, 20);
}

TEST(PaintTest, StarsCountTheThresholdsReached) {
  const std::array<int32_t, 10> v = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
  EXPECT_EQ(starCount(0, v), 0);
  EXPECT_EQ(starCount(9, v), 0);
  EXPECT_EQ(starCount(10, v), 1);
  EXPECT_EQ(starCount(99, v), 9);
  EXPECT_EQ(starCount(100, v), 10);
  EXPECT_EQ(starCount(4000000000u, v), 10);
  // Compared from the tenth down: the first one reached gives the count.
  EXPECT_EQ(starCount(55, {10, 20, 30, 40, 50, 60, 70, 80, 90, 50}), 10);

  PaintInput in = song(630, 300);
  in.score = 100;
  std::vector<PaintOp> stars = ofKind(paintDisplay(in), Kind::kStar);
  ASSERT_EQ(stars.size(), 10u);
  EXPECT_EQ(stars[0].rect, (Rect{5, 56, 16, 16}));
  EXPECT_EQ(stars[9].rect, (Rect{185, 56, 16, 16}));
}

TEST(PaintTest, CoverIsStretchedIntoTheUpperRightSquare) {
  PaintInput in = song(800, 600);
  in.cover_ready = true;
  std::vector<PaintOp> ops = paintDisplay(in);
  std::vector<PaintOp> fills = ofKind(ops, Kind::kFill);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].rect, (Rect{0, 30, 390, 270}));
  EXPECT_EQ(fills[1].rect, (Rect{400, 30, 400, 300}));
  EXPECT_EQ(fills[1].color, kWhite);
  std::vector<PaintOp> cover = ofKind(ops, Kind::kCover);
  ASSERT_EQ(cover.size(), 1u);
  EXPECT_EQ(cover[0].rect, (Rect{500, 30, 300, 300}));

  in.width = 1000;  // S = min(W/2, H/2) = 300
  EXPECT_EQ(ofKind(paintDisplay(in), Kind::kCover)[0].rect, (Rect{700, 30, 300, 300}));
  in.height = 700;
  in.width = 600;  // S = 300
  EXPECT_EQ(ofKind(paintDisplay(in), Kind::kCover)[0].rect, (Rect{300, 30, 300, 300}));
}

TEST(PaintTest, NoUpperRightAreaInNarrowOrLowWindows) {
  for (auto [w, h] : {std::pair{400, 600}, std::pair{800, 200}}) {
    PaintInput in = song(w, h);
    in.cover_ready = true;
    std::vector<PaintOp> ops = paintDisplay(in);
    EXPECT_TRUE(ofKind(ops, Kind::kCover).empty()) << w << "x" << h;
    EXPECT_EQ(ofKind(ops, Kind::kFill).size(), 1u) << w << "x" << h;
  }
  PaintInput not_ready = song(800, 600);
  EXPECT_TRUE(ofKind(paintDisplay(not_ready), Kind::kCover).empty());
}

TEST(PaintTest, UpperRightListLinesStopAtHalfHeight) {
  PaintInput in = song(800, 600);
  in.upper_right_view = 11;
  in.list_loaded = true;
  in.list = listOf(25);
  in.list.entries[0].text = std::string(50, 'e');
  std::vector<PaintOp> ops = paintDisplay(in);
  ASSERT_TRUE(textAt(ops, 410, 30));
  EXPECT_EQ(textAt(ops, 410, 30)->text, "Other songs from this album");
  EXPECT_EQ(textAt(ops, 410, 30)->font_px, 16);
  EXPECT_EQ(textAt(ops, 410, 50)->text, std::string(42, 'e') + "…") << "W/19 characters";
  EXPECT_EQ(textAt(ops, 410, 66)->text, "Entry 1");
  // (H/2 - 30)/16 = 16 lines: the last at 50 + 15 * 16 = 290.
  EXPECT_TRUE(textAt(ops, 410, 290));
  EXPECT_FALSE(textAt(ops, 410, 306));
  EXPECT_TRUE(ofKind(ops, Kind::kCover).empty());

  in.list = listOf(3);
  ops = paintDisplay(in);
  EXPECT_TRUE(textAt(ops, 410, 82));
  EXPECT_FALSE(textAt(ops, 410, 98)) << "only the entries there are";

  in.list_loaded = false;
  EXPECT_FALSE(textAt(paintDisplay(in), 410, 30));
}

TEST(PaintTest, LowerLeftListOnLightBlueInTallWindows) {
  PaintInput in = song(800, 800);
  in.lower_left_view = 10;
  in.list_loaded = true;
  in.list = listOf(25);
  std::vector<PaintOp> ops = paintDisplay(in);
  bool blue = false;
  for (const PaintOp& op : ofKind(ops, Kind::kFill)) {
    if (op.color == kLightBlue) {
      blue = true;
      EXPECT_EQ(op.rect, (Rect{4, 175, 396, 225}));
    }
  }
  EXPECT_TRUE(blue);
  ASSERT_TRUE(textAt(ops, 10, 180));
  EXPECT_EQ(textAt(ops, 10, 180)->background, kLightBlue);
  // (H/2 - 180)/16 = 13 lines at most, but none below H/2 - 16 = 384: 12 lines, the last at 376.
  EXPECT_TRUE(textAt(ops, 10, 376));
  EXPECT_FALSE(textAt(ops, 10, 392));

  in.height = 400;
  ops = paintDisplay(in);
  EXPECT_FALSE(textAt(ops, 10, 180)) << "only above 400 pixels";
}

// A measure of 10 pixels a character ("…" counts as one).
int32_t tenPerCharacter(std::string_view text) {
  int32_t n = 0;
  for (char c : text) n += (static_cast<uint8_t>(c) & 0xC0) != 0x80 ? 1 : 0;
  return 10 * n;
}

TEST(TextFitTest, FitsTheWidthKeepingStartOrEnd) {
  using Elide = PaintOp::Elide;
  struct Case {
    std::string text;
    int32_t width;
    Elide elide;
    std::string fitted;
  };
  const std::string umlauts = "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4";  // ÄÖÜä
  for (const Case& c : {
           Case{"abcdef", 60, Elide::kKeepStart, "abcdef"},   // fits exactly
           Case{"abcdefg", 60, Elide::kKeepStart, "abcde…"},  // 5 letters and the mark
           Case{"abcdefg", 60, Elide::kKeepEnd, "…cdefg"},
           Case{"abcdefg", 69, Elide::kKeepStart, "abcde…"},      // not a pixel more
           Case{"abcdefg", 60, Elide::kNone, "abcdefg"},          // no shortening asked
           Case{"abcdefg", 0, Elide::kKeepStart, "abcdefg"},      // no limit
           Case{"abcdefghij…", 60, Elide::kKeepStart, "abcde…"},  // marked once, not twice
           Case{"…abcdefghij", 60, Elide::kKeepEnd, "…fghij"},
           Case{"abcdefg", 10, Elide::kKeepStart, "…"},
           Case{"abcdefg", 9, Elide::kKeepStart, ""},
           Case{umlauts, 30, Elide::kKeepStart, "\xC3\x84\xC3\x96…"},  // whole characters
           Case{umlauts, 30, Elide::kKeepEnd, "…\xC3\x9C\xC3\xA4"},
       }) {
    EXPECT_EQ(fitToWidth(c.text, c.width, c.elide, tenPerCharacter), c.fitted)
        << c.text << " in " << c.width;
  }
}

TEST(PaintTest, LeftTextsHaveTheRoomUpToTheDivider) {
  for (auto [w, room] : {std::pair{800, 385}, std::pair{400, 395}}) {
    PaintInput in = song(w, 600);
    for (const PaintOp& op : ofKind(paintDisplay(in), Kind::kText)) {
      EXPECT_EQ(op.rect.width, room) << op.text << " at W " << w;
      EXPECT_EQ(op.elide, op.rect.y == 123 ? PaintOp::Elide::kKeepEnd : PaintOp::Elide::kKeepStart)
          << op.text;
    }
  }
  PaintInput tiny = song(800, 60);
  EXPECT_EQ(ofKind(paintDisplay(tiny), Kind::kText)[0].elide, PaintOp::Elide::kNone);
}

TEST(PaintTest, TallerFontsPushTheLinesBelowDown) {
  PaintInput in = song(800, 600);
  in.score = 35;
  // Lines taller than their font size (as real fonts are): each line starts below the last.
  in.line_height = [](int32_t px) { return px + px / 4; };  // 31, 25, 22, 20
  std::vector<PaintOp> ops = paintDisplay(in);
  EXPECT_EQ(ofKind(ops, Kind::kStar)[0].rect.y, 61) << "below the title's 30 + 31";
  EXPECT_TRUE(textAt(ops, 3, 80)) << "artist: 61 + 16 is above 80";
  EXPECT_TRUE(textAt(ops, 3, 105)) << "album: 80 + 25";
  EXPECT_TRUE(textAt(ops, 3, 130)) << "path: 105 + 25";
  EXPECT_TRUE(textAt(ops, 3, 152)) << "comment: 130 + 22";

  // Quick-link lines stay 16 apart (clicks pick by that step), and none reaches past its area.
  in.upper_right_view = 11;
  in.list_loaded = true;
  in.list = listOf(25);
  ops = paintDisplay(in);
  EXPECT_TRUE(textAt(ops, 410, 290)) << "290 + 20 reaches 310, inside H/2 + 30 = 330";
  in.line_height = [](int32_t px) { return px == 16 ? 41 : px; };
  ops = paintDisplay(in);
  EXPECT_TRUE(textAt(ops, 410, 274));
  EXPECT_FALSE(textAt(ops, 410, 290)) << "290 + 41 would reach past 330";

  PaintInput low = song(800, 800);
  low.lower_left_view = 10;
  low.list_loaded = true;
  low.list = listOf(25);
  low.line_height = [](int32_t px) { return px == 16 ? 30 : px; };
  ops = paintDisplay(low);
  EXPECT_TRUE(textAt(ops, 10, 360));
  EXPECT_FALSE(textAt(ops, 10, 376)) << "376 + 30 would reach past the box's bottom at 400";
  EXPECT_EQ(textAt(ops, 10, 180)->rect.width, 388);
}

}  // namespace
}  // namespace tunora::ui
