// Settings: the program's persistent preferences and remembered working state, kept as the raw
// 7000-byte record image. Fields are encoded and decoded little-endian at their named offsets
// (settings_layout.h, filler_layout.h); bytes that no field names stay exactly as loaded.
//
// Not synchronised: the program object owns one Settings and decides who may change it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings_layout.h"

namespace tunora {

class Settings {
 public:
  // A zero-filled record, as at process start.
  Settings() = default;

  // Integer fields. An array index past the end reads 0 and writes nothing, so an index taken
  // from a damaged file cannot reach outside the field.
  int32_t get(settings::IntField field) const;
  void set(settings::IntField field, int32_t value);
  int32_t get(settings::IntArrayField field, uint32_t index) const;
  void set(settings::IntArrayField field, uint32_t index, int32_t value);

  // Text fields: the bytes up to the first NUL, or the whole slot when it holds none. Setting
  // stores at most slot size - 1 bytes (cut there) and fills the rest of the slot with NULs.
  std::string text(settings::TextField field) const;
  void setText(settings::TextField field, std::string_view value);
  std::string text(settings::TextArrayField field, uint32_t index) const;
  void setText(settings::TextArrayField field, uint32_t index, std::string_view value);

  // The current state's entry of a per-state array; 0 when `CurrentState` is out of range.
  int32_t stateValue(settings::IntArrayField field) const {
    return get(field, static_cast<uint32_t>(get(settings::kCurrentState)));
  }

  // The whole record image.
  std::span<const uint8_t, settings::kRecordSize> image() const { return image_; }
  std::span<uint8_t, settings::kRecordSize> mutableImage() { return image_; }

  friend bool operator==(const Settings&, const Settings&) = default;

 private:
  int32_t loadWord(uint32_t offset) const;
  void storeWord(uint32_t offset, int32_t value);
  std::string loadText(uint32_t offset, uint32_t size) const;
  void storeText(uint32_t offset, uint32_t size, std::string_view value);

  std::array<uint8_t, settings::kRecordSize> image_{};
};

}  // namespace tunora
