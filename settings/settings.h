// Settings: the program's persistent preferences and remembered working state, kept as the raw
// 7000-byte record image. Fields are encoded and decoded little-endian at their named offsets
// (settings_layout.h, filler_layout.h); bytes that no field names stay exactly as loaded.
//
// Shared between threads under one rule: every access goes through this class, and each call is
// atomic on its own, under the record's one mutex. A word never tears and a text is read and
// written whole, whichever threads read and write it (the checksum pass, the details loader and
// the builder on `HashStat`, the buffer pass and the builder on the buffer level, the window's
// dialogs on `DatabasePath`, `Network`, the users and modes). So:
// - a change that depends on the field's old value (a counter such as `HashStat` or
//   `BuildTime`) is one call, update(), never a get() followed by a set();
// - fields that must agree with each other are read from one snapshot (image(), or a copy of
//   the record), and a worker reads the settings an operation depends on once, when it starts
//   the operation (an opening reads the library path and the mode together);
// - nothing keeps a pointer or view into the record: image() is a copy.
// The mutex is held only for the few instructions of one field or one copy, never while waiting.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings_layout.h"

namespace tunora {

class Settings {
 public:
  // A zero-filled record, as at process start.
  Settings() = default;
  // Copies are snapshots of the whole record, taken under its mutex.
  Settings(const Settings& other) : image_(other.image()) {}
  Settings& operator=(const Settings& other);

  // Integer fields. An array index past the end reads 0 and writes nothing, so an index taken
  // from a damaged file cannot reach outside the field.
  int32_t get(settings::IntField field) const;
  void set(settings::IntField field, int32_t value);
  int32_t get(settings::IntArrayField field, uint32_t index) const;
  void set(settings::IntArrayField field, uint32_t index, int32_t value);
  // Replaces the field's value v by change(v) in one step; returns the new value. `change` runs
  // under the record's mutex: it computes and returns, nothing more.
  template <typename Change>
  int32_t update(settings::IntField field, Change change) {
    std::lock_guard lock(mu_);
    const int32_t value = change(loadWord(field.offset));
    storeWord(field.offset, value);
    return value;
  }

  // Text fields: the bytes up to the first NUL, or the whole slot when it holds none. Setting
  // stores at most slot size - 1 bytes (cut there) and fills the rest of the slot with NULs.
  std::string text(settings::TextField field) const;
  void setText(settings::TextField field, std::string_view value);
  std::string text(settings::TextArrayField field, uint32_t index) const;
  void setText(settings::TextArrayField field, uint32_t index, std::string_view value);

  // The current state's entry of a per-state array; 0 when `CurrentState` is out of range.
  int32_t stateValue(settings::IntArrayField field) const;

  // A copy of the whole record image.
  std::array<uint8_t, settings::kRecordSize> image() const;
  // Stores raw bytes at `offset` (a loaded file's image or block); bytes past the record's end
  // are not stored.
  void storeBytes(uint32_t offset, std::span<const uint8_t> bytes);

  friend bool operator==(const Settings& a, const Settings& b) { return a.image() == b.image(); }

 private:
  // With mu_ held.
  int32_t loadWord(uint32_t offset) const;
  void storeWord(uint32_t offset, int32_t value);
  std::string loadText(uint32_t offset, uint32_t size) const;
  void storeText(uint32_t offset, uint32_t size, std::string_view value);

  mutable std::mutex mu_;
  std::array<uint8_t, settings::kRecordSize> image_{};  // guarded by mu_
};

}  // namespace tunora
