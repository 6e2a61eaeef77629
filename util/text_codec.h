// Texts in tables and settings are stored as bytes. New texts are UTF-8; older libraries hold
// single-byte Windows-1252 texts. Everything that shows a text decodes it as UTF-8 when the bytes
// are valid UTF-8 and as Windows-1252 otherwise.
#pragma once

#include <string>
#include <string_view>

namespace tunora {

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 control of the same value.
std::string windows1252ToUtf8(std::string_view bytes);

// Each byte to the code point of the same value (U+0000..U+00FF), as UTF-8: the exact bytes,
// for tools.
std::string latin1ToUtf8(std::string_view bytes);

// The UTF-8 text to show for stored bytes: the bytes themselves when valid UTF-8, else their
// Windows-1252 reading.
std::string displayText(std::string_view stored);

// ASCII letters A..Z to lower case; every other byte kept. Library paths and artist names are
// compared this way.
std::string asciiLower(std::string_view text);
// True when a and b are equal but for the case of ASCII letters.
bool equalIgnoringAsciiCase(std::string_view a, std::string_view b);

// Appends the UTF-8 encoding of one code point.
void appendUtf8(std::string& out, char32_t code_point);

}  // namespace tunora
