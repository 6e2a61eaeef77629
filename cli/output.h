// How tunora-cli prints stored texts: decoded as UTF-8 when valid, else as Windows-1252; with
// --bytes, each byte as the code point of the same value.
#pragma once

#include <string>
#include <string_view>

#include "util/text_codec.h"

namespace tunora::cli {

inline std::string outputText(std::string_view stored, bool exact_bytes) {
  return exact_bytes ? latin1ToUtf8(stored) : displayText(stored);
}

}  // namespace tunora::cli
