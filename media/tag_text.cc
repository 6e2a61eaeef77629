// Decoding of ID3 text to UTF-8.
#include "media/tag_text.h"

#include <string_view>

#include "util/text_codec.h"

namespace tunora::media {
namespace {

std::string_view asChars(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Single-byte strings: up to the first 0.
void decodeSingleByte(std::span<const uint8_t> bytes, bool utf8, std::string& out, size_t& used) {
  size_t end = 0;
  while (end < bytes.size() && bytes[end] != 0) ++end;
  used = end < bytes.size() ? end + 1 : end;
  const std::string_view text = asChars(bytes.first(end));
  out = (utf8 && isValidUtf8(text)) ? std::string(text) : windows1252ToUtf8(text);
}

void decodeUtf16(std::span<const uint8_t> bytes, bool big_endian, std::string& out, size_t& used) {
  size_t i = 0;
  if (bytes.size() >= 2) {
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
      big_endian = false;
      i = 2;
    } else if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
      big_endian = true;
      i = 2;
    }
  }
  out.clear();
  char32_t pending_high = 0;  // a high surrogate waiting for its low half
  while (i + 1 < bytes.size()) {
    const char16_t unit = big_endian ? static_cast<char16_t>(bytes[i] << 8 | bytes[i + 1])
                                     : static_cast<char16_t>(bytes[i + 1] << 8 | bytes[i]);
    i += 2;
    if (unit == 0) {
      used = i;
      if (pending_high) appendUtf8(out, 0xFFFD);
      return;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (pending_high) appendUtf8(out, 0xFFFD);
      pending_high = unit;
      continue;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (pending_high) {
        appendUtf8(out, 0x10000 + ((pending_high - 0xD800) << 10) + (unit - 0xDC00));
        pending_high = 0;
      } else {
        appendUtf8(out, 0xFFFD);
      }
      continue;
    }
    if (pending_high) {
      appendUtf8(out, 0xFFFD);
      pending_high = 0;
    }
    appendUtf8(out, unit);
  }
  if (pending_high) appendUtf8(out, 0xFFFD);
  used = bytes.size();  // no terminator: the string runs to the end (an odd last byte is dropped)
}

}  // namespace

bool decodeId3String(uint8_t encoding, std::span<const uint8_t> bytes, std::string& out,
                     size_t& used) {
  switch (encoding) {
    case kEncLatin1:
      decodeSingleByte(bytes, false, out, used);
      return true;
    case kEncUtf8:
      decodeSingleByte(bytes, true, out, used);
      return true;
    // Without a byte-order mark, plain UTF-16 is taken as little-endian, as Windows writes it.
    case kEncUtf16:
      decodeUtf16(bytes, false, out, used);
      return true;
    case kEncUtf16Be:
      decodeUtf16(bytes, true, out, used);
      return true;
    default:
      used = 0;
      return false;
  }
}

std::string decodeId3v1Field(std::span<const uint8_t> field) {
  size_t end = 0;
  while (end < field.size() && field[end] != 0) ++end;
  while (end > 0 && field[end - 1] == ' ') --end;
  return windows1252ToUtf8(asChars(field.first(end)));
}

void cutUtf8(std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes) return;
  size_t cut = max_bytes;
  while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
}

}  // namespace tunora::media
