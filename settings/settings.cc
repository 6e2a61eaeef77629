// Field access on the settings record image: little-endian words and NUL-terminated slots.
#include "settings/settings.h"

#include <algorithm>
#include <cstring>

namespace tunora {

using namespace settings;

// The descriptors in settings_layout.h are checked at compile time; these guards keep a
// hand-made descriptor from reaching outside the image.
int32_t Settings::loadWord(uint32_t offset) const {
  if (offset > kRecordSize - 4) return 0;
  const uint32_t v = static_cast<uint32_t>(image_[offset]) |
                     static_cast<uint32_t>(image_[offset + 1]) << 8 |
                     static_cast<uint32_t>(image_[offset + 2]) << 16 |
                     static_cast<uint32_t>(image_[offset + 3]) << 24;
  return static_cast<int32_t>(v);
}

void Settings::storeWord(uint32_t offset, int32_t value) {
  if (offset > kRecordSize - 4) return;
  const auto v = static_cast<uint32_t>(value);
  for (uint32_t i = 0; i < 4; ++i) image_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string Settings::loadText(uint32_t offset, uint32_t size) const {
  if (size == 0 || offset > kRecordSize || size > kRecordSize - offset) return {};
  const auto* begin = reinterpret_cast<const char*>(image_.data() + offset);
  const void* nul = std::memchr(begin, 0, size);
  const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - begin) : size;
  return std::string(begin, length);
}

void Settings::storeText(uint32_t offset, uint32_t size, std::string_view value) {
  if (size == 0 || offset > kRecordSize || size > kRecordSize - offset) return;
  const size_t length = std::min<size_t>(value.size(), size - 1);
  std::memcpy(image_.data() + offset, value.data(), length);
  std::memset(image_.data() + offset + length, 0, size - length);
}

Settings& Settings::operator=(const Settings& other) {
  if (this == &other) return *this;
  const std::array<uint8_t, kRecordSize> copy = other.image();
  std::lock_guard lock(mu_);
  image_ = copy;
  return *this;
}

std::array<uint8_t, kRecordSize> Settings::image() const {
  std::lock_guard lock(mu_);
  return image_;
}

void Settings::storeBytes(uint32_t offset, std::span<const uint8_t> bytes) {
  if (offset >= kRecordSize) return;
  const size_t n = std::min<size_t>(bytes.size(), kRecordSize - offset);
  std::lock_guard lock(mu_);
  std::memcpy(image_.data() + offset, bytes.data(), n);
}

int32_t Settings::get(IntField field) const {
  std::lock_guard lock(mu_);
  return loadWord(field.offset);
}

void Settings::set(IntField field, int32_t value) {
  std::lock_guard lock(mu_);
  storeWord(field.offset, value);
}

int32_t Settings::get(IntArrayField field, uint32_t index) const {
  if (index >= field.count) return 0;
  std::lock_guard lock(mu_);
  return loadWord(field.offset + 4 * index);
}

void Settings::set(IntArrayField field, uint32_t index, int32_t value) {
  if (index >= field.count) return;
  std::lock_guard lock(mu_);
  storeWord(field.offset + 4 * index, value);
}

int32_t Settings::stateValue(IntArrayField field) const {
  std::lock_guard lock(mu_);
  const auto state = static_cast<uint32_t>(loadWord(kCurrentState.offset));
  return state < field.count ? loadWord(field.offset + 4 * state) : 0;
}

std::string Settings::text(TextField field) const {
  std::lock_guard lock(mu_);
  return loadText(field.offset, field.size);
}

void Settings::setText(TextField field, std::string_view value) {
  std::lock_guard lock(mu_);
  storeText(field.offset, field.size, value);
}

std::string Settings::text(TextArrayField field, uint32_t index) const {
  if (index >= field.count) return {};
  std::lock_guard lock(mu_);
  return loadText(field.offset + index * field.size, field.size);
}

void Settings::setText(TextArrayField field, uint32_t index, std::string_view value) {
  if (index >= field.count) return;
  std::lock_guard lock(mu_);
  storeText(field.offset + index * field.size, field.size, value);
}

}  // namespace tunora
