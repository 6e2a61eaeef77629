// Track numbers and genres as tags write them: the ID3v1 genre byte's names, and the texts of the
// ID3v2 frames "TRCK" ("3", "3/12") and "TCON" ("Rock", "(17)", "17", "(17)Rock & Roll").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunora::media {

// The name of ID3v1 genre number `index` (0 "Blues" .. 79 "Hard Rock"); empty for any other.
std::string_view id3v1GenreName(int index);

// The genre a "TCON" text names: a text of its own wins over a number in parentheses, a bare or
// parenthesised number gives the ID3v1 name, "(RX)" and "(CR)" read "Remix" and "Cover". Empty
// when nothing is left.
std::string genreFromText(std::string_view text);

// The track number a "TRCK" text starts with ("3/12" -> 3); 0 when it starts with no number or
// one that is not a plausible track number (above 9999).
int32_t trackNumberFromText(std::string_view text);

}  // namespace tunora::media
