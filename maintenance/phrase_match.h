// The table's text search, record by record, without its value-buffer side effects: a record
// matches when any text column holds the key (ASCII letters in either case; after a differing
// byte the scan goes on with the key from its start, as the table's findNext does) or any integer
// column equals the key read as a number (a key reading as 0 matches no number). An empty key
// matches every record. Gives the same answers as TableHandle::recordMatches, several times
// faster, for the search window and the details dialog's "Find More".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "marlbase/table_handle.h"

namespace tunora::maintenance {

class PhraseMatcher {
 public:
  // The table must stay open and mapped, with the same columns, while the matcher is used.
  PhraseMatcher(const marlbase::TableHandle& table, std::string_view phrase);

  bool matches(int32_t slot) const;
  // The lowest live slot after `slot` that matches (from slot 1 when slot < 0: slot 0 holds the
  // blank first record, which is no song); -1 when none.
  int32_t next(marlbase::TableHandle& table, int32_t slot) const;

 private:
  bool textContains(const uint8_t* field, uint32_t width) const;
  // Asks the processor for the text fields of `slot` ahead of their use.
  void prefetch(int32_t slot) const;

  const marlbase::TableHandle& table_;
  std::string key_;
  std::string folded_key_;  // ASCII letters in lower case
  uint32_t number_;         // the key read as a number; UINT32_MAX matches no field
  // Each field's place as its distance from the record's first field, found once from slot 0.
  struct Field {
    ptrdiff_t offset;
    uint32_t width;  // text fields
    uint32_t type;
  };
  std::vector<Field> text_fields_;
  std::vector<Field> integer_fields_;
};

}  // namespace tunora::maintenance
