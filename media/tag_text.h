// Text of ID3 tags: decoding each of the ID3v2 text encodings and the ID3v1 single-byte fields
// to UTF-8, and cutting UTF-8 at a character boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tunora::media {

// ID3v2 text-encoding bytes.
inline constexpr uint8_t kEncLatin1 = 0;   // ISO-8859-1, strings end with one 0 byte
inline constexpr uint8_t kEncUtf16 = 1;    // UTF-16 led by a byte-order mark, ends with 0 0
inline constexpr uint8_t kEncUtf16Be = 2;  // UTF-16 big-endian without a mark, ends with 0 0
inline constexpr uint8_t kEncUtf8 = 3;     // UTF-8, ends with one 0 byte

// One string of an ID3v2 frame, decoded from the start of bytes up to its terminator or the end
// of bytes. `used` receives the bytes taken, terminator included, so that a following string
// can be decoded. Single-byte text is read as Windows-1252, whose printable characters are those
// of ISO-8859-1 plus the ones it puts at 0x80..0x9F (where ISO-8859-1 has only control codes, and
// where taggers on Windows write their quotes and dashes). UTF-8 that is not well formed is read
// the same way. Unpaired UTF-16 surrogates become U+FFFD. False for an unknown encoding.
bool decodeId3String(uint8_t encoding, std::span<const uint8_t> bytes, std::string& out,
                     size_t& used);

// An ID3v1 field: the bytes up to the first 0, trailing blanks removed, as Windows-1252.
std::string decodeId3v1Field(std::span<const uint8_t> field);

// Cuts valid UTF-8 to at most max_bytes without splitting a character.
void cutUtf8(std::string& text, size_t max_bytes);

}  // namespace tunora::media
