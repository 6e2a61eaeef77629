// The record-by-record text search.
#include "maintenance/phrase_match.h"

#include <algorithm>
#include <array>

#include "maintenance/live_lookahead.h"
#include "marlbase/lookup_keys.h"

namespace tunora::maintenance {
namespace {

// ASCII letters to lower case, every other byte to itself: two bytes are the same letter in
// either case, or the same byte, exactly when their folds are equal.
constexpr std::array<uint8_t, 256> kFold = [] {
  std::array<uint8_t, 256> fold{};
  for (int b = 0; b < 256; ++b) {
    fold[static_cast<size_t>(b)] = static_cast<uint8_t>(b >= 'A' && b <= 'Z' ? b + 32 : b);
  }
  return fold;
}();

}  // namespace

PhraseMatcher::PhraseMatcher(const marlbase::TableHandle& table, std::string_view phrase)
    : table_(table) {
  key_ = std::string(
      phrase.substr(0, std::min(phrase.find('\0'), size_t{marlbase::kSearchKeySize - 1})));
  for (char c : key_) folded_key_.push_back(static_cast<char>(kFold[static_cast<uint8_t>(c)]));
  number_ = marlbase::numericKey(key_.c_str());
  if (number_ == 0) number_ = UINT32_MAX;
  const char* first = table.peekField(0, 1).data();
  for (int32_t c = 1; first != nullptr && c <= table.columnCount(); ++c) {
    const std::string_view field = table.peekField(0, c);
    const auto type = static_cast<uint32_t>(table.columnType(c));
    const Field place{field.data() - first, static_cast<uint32_t>(field.size()), type};
    (marlbase::isTextType(type) ? text_fields_ : integer_fields_).push_back(place);
  }
}

bool PhraseMatcher::textContains(const uint8_t* f, uint32_t width) const {
  // The stored text ends at its NUL or one byte before the field's end.
  const size_t limit = width - 1;
  const auto* key = reinterpret_cast<const uint8_t*>(folded_key_.data());
  const size_t key_length = folded_key_.size();
  size_t k = 0;
  // Texts are short beside their fields: the scan stops at the NUL.
  for (size_t i = 0; i < limit && f[i] != 0; ++i) {
    if (kFold[f[i]] == key[k]) {
      if (++k == key_length) return true;
    } else {
      k = 0;
    }
  }
  return false;
}

bool PhraseMatcher::matches(int32_t slot) const {
  const std::string_view first = table_.peekField(slot, 1);
  if (first.empty() || (text_fields_.empty() && integer_fields_.empty())) return false;
  if (key_.empty()) return !text_fields_.empty();
  const auto* record = reinterpret_cast<const uint8_t*>(first.data());
  if (number_ != UINT32_MAX) {
    for (const Field& field : integer_fields_) {
      if (marlbase::integerField(record + field.offset, field.type) == number_) return true;
    }
  }
  for (const Field& field : text_fields_) {
    if (textContains(record + field.offset, field.width)) return true;
  }
  return false;
}

void PhraseMatcher::prefetch(int32_t slot) const {
  const std::string_view first = table_.peekField(slot, 1);
  if (first.empty()) return;
  for (const Field& field : text_fields_) __builtin_prefetch(first.data() + field.offset);
}

int32_t PhraseMatcher::next(marlbase::TableHandle& table, int32_t slot) const {
  // Slot 0 holds the library's blank first record, never a song: the search starts above it.
  const int32_t after = std::max(slot, 0);
  int32_t s = table.nextLive(after);
  if (s == after || s < 0) return -1;
  LiveLookahead ahead(table, s, [this](int32_t live) { prefetch(live); });
  while (s >= 0) {
    if (matches(s)) return s;
    const int32_t after = table.nextLive(s);
    if (after == s) return -1;
    s = after;
    ahead.step();
  }
  return -1;
}

}  // namespace tunora::maintenance
