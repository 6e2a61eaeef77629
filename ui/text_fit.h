// Fitting a text into a width in pixels, for any toolkit: the toolkit only measures. A text too
// wide is shortened with "…": keep start keeps as many of its first characters as fit before the
// mark, keep end as many of its last characters as fit after it. A text already shortened by
// character count (its mark at that end) is shortened further, not marked twice. Characters are
// UTF-8 code points, never cut inside one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ui/paint_list.h"

namespace tunora::ui {

// The width of a text in pixels.
using TextMeasure = std::function<int32_t(std::string_view text)>;

// `text` as it fits in `width` pixels (width 0 or kNone: the text as it is). When not even the
// mark fits, the result is empty.
std::string fitToWidth(std::string_view text, int32_t width, PaintOp::Elide elide,
                       const TextMeasure& measure);

}  // namespace tunora::ui
