// The painted display as a list of drawing operations.
#include "ui/paint_list.h"

#include <algorithm>

namespace tunora::ui {

namespace {

constexpr int32_t kWide = 400;
constexpr int32_t kTop = 30;
constexpr int32_t kTitleFont = 25;
constexpr int32_t kPathFont = 18;
constexpr int32_t kTextFont = 20;
constexpr int32_t kListFont = 16;
constexpr int32_t kStarSize = 16;
constexpr int32_t kStarStep = 20;
constexpr int32_t kListLine = 16;
constexpr int32_t kListFirstEntry = 20;
constexpr int32_t kListDivisor = 19;
// Room kept free between a text's end and the edge of its area.
constexpr int32_t kTextMargin = 2;

// Without the window's measure a line is as high as its font size: every line at its nominal
// place.
int32_t nominalLineHeight(int32_t font_px) { return font_px; }

// Byte offsets of the code points of a UTF-8 text (continuation bytes are not starts).
std::vector<size_t> codePointStarts(std::string_view text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  return starts;
}

class Painter {
 public:
  explicit Painter(const PaintInput& in) : in_(in), w_(in.width), h_(in.height) {}

  std::vector<PaintOp> run() {
    using Elide = PaintOp::Elide;
    const int32_t half = h_ / 2;
    const int32_t left_edge = w_ > kWide ? w_ / 2 - 10 : w_;
    fill({0, kTop, left_edge, half - kTop}, kWhite);
    if (h_ <= 60) {
      text(3, kTop, 0, in_.song.title, h_ / 3, kWhite, Elide::kNone);
      return std::move(ops_);
    }
    const int32_t room = std::max(left_edge - 3 - kTextMargin, 0);
    // Each line starts at its usual place, or lower when the line above reaches further.
    const int32_t star_y = std::max(56, kTop + lineHeight(kTitleFont));
    const int32_t artist_y = std::max(80, star_y + kStarSize);
    const int32_t album_y = std::max(100, artist_y + lineHeight(kTextFont));
    const int32_t path_y = std::max(123, album_y + lineHeight(kTextFont));
    const int32_t comment_y = std::max(145, path_y + lineHeight(kPathFont));
    text(3, kTop, room, keepStart(in_.song.title, w_ / (w_ > kWide ? 21 : 10)), kTitleFont, kWhite,
         Elide::kKeepStart);
    if (h_ > 175) {
      if (h_ > 250) {
        text(3, path_y, room, keepEnd(in_.song.path, w_ / 18), kPathFont, kWhite, Elide::kKeepEnd);
      }
      text(3, artist_y, room, keepStart(in_.song.artist, w_ / 8), kTextFont, kWhite,
           Elide::kKeepStart);
      if (h_ > 210) {
        text(3, album_y, room, keepStart(in_.song.album, w_ / 8), kTextFont, kWhite,
             Elide::kKeepStart);
      }
      if (h_ > 290) {
        text(3, comment_y, room, keepStart(in_.song.comment, w_ / 19), kTextFont, kWhite,
             Elide::kKeepStart);
      }
    }
    if (h_ <= 120) return std::move(ops_);
    const int32_t stars = starCount(in_.score, in_.rating_values);
    for (int32_t k = 0; k < stars; ++k) {
      PaintOp op;
      op.kind = PaintOp::Kind::kStar;
      op.rect = {5 + kStarStep * k, star_y, kStarSize, kStarSize};
      ops_.push_back(std::move(op));
    }
    if (in_.list_loaded && in_.lower_left_view != 0 && h_ > 400) {
      fill({4, 175, w_ / 2 - 4, half - 175}, kLightBlue);
      if (isListViewValue(in_.lower_left_view)) {
        list(10, 180, half - 16, half, w_ / 2 - 10 - kTextMargin, kLightBlue);
      }
    }
    if (w_ > kWide && h_ > 200) {
      fill({w_ / 2, kTop, w_ - w_ / 2, half}, kWhite);
      if (in_.upper_right_view < 10 && in_.cover_ready) {
        const int32_t side = std::min(w_ / 2, half);
        PaintOp op;
        op.kind = PaintOp::Kind::kCover;
        op.rect = {w_ - side, kTop, side, side};
        ops_.push_back(std::move(op));
      } else if (in_.list_loaded && isListViewValue(in_.upper_right_view)) {
        const int32_t x = w_ / 2 + 10;
        list(x, kTop, half, half + kTop, w_ - x - kTextMargin, kWhite);
      }
    }
    return std::move(ops_);
  }

 private:
  static bool isListViewValue(int32_t view) { return view >= 10 && view <= 14; }

  void fill(const Rect& rect, Color color) {
    PaintOp op;
    op.kind = PaintOp::Kind::kFill;
    op.rect = rect;
    op.rect.width = std::max(op.rect.width, 0);
    op.rect.height = std::max(op.rect.height, 0);
    op.color = color;
    ops_.push_back(std::move(op));
  }

  int32_t lineHeight(int32_t font_px) const {
    return in_.line_height ? in_.line_height(font_px) : nominalLineHeight(font_px);
  }

  void text(int32_t x, int32_t y, int32_t room, std::string value, int32_t font_px,
            Color background, PaintOp::Elide elide) {
    PaintOp op;
    op.kind = PaintOp::Kind::kText;
    op.rect = {x, y, room, font_px};
    op.color = kBlack;
    op.background = background;
    op.text = std::move(value);
    op.font_px = font_px;
    op.elide = elide;
    ops_.push_back(std::move(op));
  }

  // The quick-link list at (x, y), `room` pixels wide: no entry line starting below `bottom`,
  // none reaching past `area_bottom`, the bottom of the area it is drawn in.
  void list(int32_t x, int32_t y, int32_t bottom, int32_t area_bottom, int32_t room,
            Color background) {
    using Elide = PaintOp::Elide;
    const QuickLinkList& l = in_.list;
    room = std::max(room, 0);
    text(x, y, room, l.header, kListFont, background, Elide::kKeepStart);
    const int32_t lines = std::min(
        {(h_ / 2 - y) / kListLine, kQuickLinkMaxEntries, static_cast<int32_t>(l.entries.size())});
    for (int32_t i = 0; i < lines; ++i) {
      const int32_t line_y = y + kListFirstEntry + kListLine * i;
      if (line_y > bottom || line_y + lineHeight(kListFont) > area_bottom) break;
      text(x, line_y, room, keepStart(l.entries[static_cast<size_t>(i)].text, w_ / kListDivisor),
           kListFont, background, Elide::kKeepStart);
    }
  }

  const PaintInput& in_;
  const int32_t w_;
  const int32_t h_;
  std::vector<PaintOp> ops_;
};

}  // namespace

std::string keepStart(std::string_view text, int32_t max_chars) {
  const std::vector<size_t> starts = codePointStarts(text);
  if (static_cast<int64_t>(starts.size()) <= max_chars) return std::string(text);
  const size_t keep = static_cast<size_t>(std::max(max_chars, 0));
  return std::string(text.substr(0, starts[keep])) + kEllipsis;
}

std::string keepEnd(std::string_view text, int32_t max_chars) {
  const std::vector<size_t> starts = codePointStarts(text);
  if (static_cast<int64_t>(starts.size()) <= max_chars) return std::string(text);
  const size_t keep = static_cast<size_t>(std::max(max_chars, 0));
  if (keep == 0) return kEllipsis;
  return kEllipsis + std::string(text.substr(starts[starts.size() - keep]));
}

int32_t starCount(uint32_t score, const std::array<int32_t, 10>& rating_values) {
  for (int32_t k = 10; k >= 1; --k) {
    const int32_t threshold = rating_values[static_cast<size_t>(k - 1)];
    if (threshold >= 0 && score >= static_cast<uint32_t>(threshold)) return k;
  }
  return 0;
}

Rect coverRepaintArea(int32_t width, int32_t height) {
  return {width / 2, kTop, width - width / 2, height / 2 + 100 - kTop};
}

std::vector<PaintOp> paintDisplay(const PaintInput& input) { return Painter(input).run(); }

}  // namespace tunora::ui
