// The number typed into a dialog's edit field: optional spaces, an optional minus sign and
// decimal digits that fit in 32 bits. Anything else is not a number, and the field's setting
// keeps its value.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tunora::ui {

std::optional<int32_t> parseDialogNumber(std::string_view text);

}  // namespace tunora::ui
