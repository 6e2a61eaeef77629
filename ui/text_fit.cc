// Fitting a text into a width.
#include "ui/text_fit.h"

#include <vector>

namespace tunora::ui {

std::string fitToWidth(std::string_view text, int32_t width, PaintOp::Elide elide,
                       const TextMeasure& measure) {
  using Elide = PaintOp::Elide;
  if (elide == Elide::kNone || width <= 0 || measure(text) <= width) return std::string(text);
  const std::string_view mark = kEllipsis;
  std::string_view body = text;
  if (elide == Elide::kKeepStart && body.ends_with(mark)) body.remove_suffix(mark.size());
  if (elide == Elide::kKeepEnd && body.starts_with(mark)) body.remove_prefix(mark.size());
  std::vector<size_t> starts;
  for (size_t i = 0; i < body.size(); ++i) {
    if ((static_cast<uint8_t>(body[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  starts.push_back(body.size());
  const size_t count = starts.size() - 1;
  // The text keeping `k` characters.
  auto shortened = [&](size_t k) {
    if (elide == Elide::kKeepStart) return std::string(body.substr(0, starts[k])) + kEllipsis;
    return kEllipsis + std::string(body.substr(starts[count - k]));
  };
  if (measure(mark) > width) return "";
  // The most characters that fit: widths grow with the characters kept.
  size_t low = 0, high = count;
  while (low < high) {
    const size_t mid = (low + high + 1) / 2;
    if (measure(shortened(mid)) <= width) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return shortened(low);
}

}  // namespace tunora::ui
