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
constexpr char kEllipsis[] = "...";

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
    const int32_t half = h_ / 2;
    fill({0, kTop, (w_ > kWide ? w_ / 2 - 10 : w_), half - kTop}, kWhite);
    if (h_ <= 60) {
      text(3, kTop, in_.song.title, h_ / 3, kWhite);
      return std::move(ops_);
    }
    text(3, kTop, keepStart(in_.song.title, w_ / (w_ > kWide ? 21 : 10)), kTitleFont, kWhite);
    if (h_ > 175) {
      if (h_ > 250) text(3, 123, keepEnd(in_.song.path, w_ / 18), kPathFont, kWhite);
      text(3, 80, keepStart(in_.song.artist, w_ / 8), kTextFont, kWhite);
      if (h_ > 210) text(3, 100, keepStart(in_.song.album, w_ / 8), kTextFont, kWhite);
      if (h_ > 290) text(3, 145, keepStart(in_.song.comment, w_ / 19), kTextFont, kWhite);
    }
    if (h_ <= 120) return std::move(ops_);
    const int32_t stars = starCount(in_.score, in_.rating_values);
    for (int32_t k = 0; k < stars; ++k) {
      PaintOp op;
      op.kind = PaintOp::Kind::kStar;
      op.rect = {5 + kStarStep * k, 56, kStarSize, kStarSize};
      ops_.push_back(std::move(op));
    }
    if (in_.list_loaded && in_.lower_left_view != 0 && h_ > 400) {
      fill({4, 175, w_ / 2 - 4, half - 175}, kLightBlue);
      if (isListViewValue(in_.lower_left_view)) list(10, 180, half - 16, kLightBlue);
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
        list(w_ / 2 + 10, kTop, half, kWhite);
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

  void text(int32_t x, int32_t y, std::string value, int32_t font_px, Color background) {
    PaintOp op;
    op.kind = PaintOp::Kind::kText;
    op.rect = {x, y, 0, font_px};
    op.color = kBlack;
    op.background = background;
    op.text = std::move(value);
    op.font_px = font_px;
    ops_.push_back(std::move(op));
  }

  // The quick-link list at (x, y), no entry line starting below `bottom`.
  void list(int32_t x, int32_t y, int32_t bottom, Color background) {
    const QuickLinkList& l = in_.list;
    text(x, y, l.header, kListFont, background);
    const int32_t lines = std::min(
        {(h_ / 2 - y) / kListLine, kQuickLinkMaxEntries, static_cast<int32_t>(l.entries.size())});
    for (int32_t i = 0; i < lines; ++i) {
      const int32_t line_y = y + kListFirstEntry + kListLine * i;
      if (line_y > bottom) break;
      text(x, line_y, keepStart(l.entries[static_cast<size_t>(i)].text, w_ / kListDivisor),
           kListFont, background);
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
