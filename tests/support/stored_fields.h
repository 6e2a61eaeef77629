// One field of a table file as it is on disk now, read through a table handle of its own: for
// tests that check what a dialog or a worker wrote. "<closed>" / 0xFFFFFFFF when the file does
// not open, "<none>" / 0xFFFFFFFF when the field cannot be read.
#pragma once

#include <cstdint>
#include <string>

#include "marlbase/table_handle.h"

namespace tunora::testing {

inline std::string storedText(const std::string& path, int32_t slot, int32_t column) {
  marlbase::TableHandle table;
  table.setPath(path);
  if (!table.open().ok()) return "<closed>";
  std::string value = table.readText(slot, column).value_or("<none>");
  table.close();
  return value;
}

inline uint32_t storedNumber(const std::string& path, int32_t slot, int32_t column) {
  marlbase::TableHandle table;
  table.setPath(path);
  if (!table.open().ok()) return 0xFFFFFFFF;
  const uint32_t value = table.readInt(slot, column).value_or(0xFFFFFFFF);
  table.close();
  return value;
}

}  // namespace tunora::testing
