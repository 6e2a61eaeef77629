// The paint list: what is drawn where, in which size, and how long texts are shortened.
#include "ui/paint_list.h"

#include <gtest/gtest.h>

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

TEST(TextFitTest, KeepStartAndKeepEnd) {
  EXPECT_EQ(keepStart("abcdef", 6), "abcdef");
  EXPECT_EQ(keepStart("abcdefg", 6), "abcdef...");
  EXPECT_EQ(keepEnd("abcdef", 6), "abcdef");
  EXPECT_EQ(keepEnd("abcdefg", 6), "...bcdefg");
  EXPECT_EQ(keepStart("abc", 0), "...");
  EXPECT_EQ(keepEnd("abc", 0), "...");
  EXPECT_EQ(keepStart("", 0), "");
}

TEST(TextFitTest, CountsCharactersNotBytes) {
  const std::string umlauts = "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC";  // ÄÖÜäöü
  EXPECT_EQ(keepStart(umlauts, 6), umlauts);
  EXPECT_EQ(keepStart(umlauts, 3), "\xC3\x84\xC3\x96\xC3\x9C...");
  EXPECT_EQ(keepEnd(umlauts, 2), "...\xC3\xB6\xC3\xBC");
}

TEST(PaintTest, LongTitleAndPathAreShortenedByWidth) {
  PaintInput in = song(630, 600);  // title W/21 = 30, path W/18 = 35, artist W/8 = 78
  const std::string title40 = "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJ";
  in.song.title = title40;
  in.song.path = "/music/" + std::string(30, 'p') + "/tail-of-the-path-is-kept-here.mp3";
  std::vector<PaintOp> ops = paintDisplay(in);
  ASSERT_TRUE(textAt(ops, 3, 30));
  EXPECT_EQ(textAt(ops, 3, 30)->text, title40.substr(0, 30) + "...");
  EXPECT_EQ(textAt(ops, 3, 30)->font_px, 25);
  ASSERT_TRUE(textAt(ops, 3, 123));
  EXPECT_EQ(textAt(ops, 3, 123)->text, "..." + in.song.path.substr(in.song.path.size() - 35));
  EXPECT_EQ(textAt(ops, 3, 123)->font_px, 18);

  in.song.title = title40.substr(0, 30);
  EXPECT_EQ(textAt(paintDisplay(in), 3, 30)->text, title40.substr(0, 30)) << "exactly W/21";

  // A narrow window shortens the title by W/10.
  PaintInput narrow = song(300, 600);
  narrow.song.title = title40;
  EXPECT_EQ(textAt(paintDisplay(narrow), 3, 30)->text, title40.substr(0, 30) + "...");
  narrow.width = 250;
  EXPECT_EQ(textAt(paintDisplay(narrow), 3, 30)->text, title40.substr(0, 25) + "...");
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
  EXPECT_EQ(textAt(ops, 410, 50)->text, std::string(42, 'e') + "...") << "W/19 characters";
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

TEST(PaintTest, CoverRepaintArea) {
  EXPECT_EQ(coverRepaintArea(800, 600), (Rect{400, 30, 400, 370}));
}

}  // namespace
}  // namespace tunora::ui
