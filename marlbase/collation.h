// The locale-aware order in which a table is sorted by a column.
//
// Stored texts are bytes: they are read as UTF-8 when valid and as Windows-1252 otherwise, then
// compared with ICU's collator for the user's locale (LC_ALL, else LC_COLLATE, else LANG; "C",
// "POSIX" or nothing give the root collation) at its default strength. Texts the collator holds
// equal keep their order in a sort.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tunora::marlbase {

class Collation {
 public:
  // The collator of an ICU locale id ("de_DE", "" for root). Null when ICU has none.
  static std::unique_ptr<Collation> forLocale(const std::string& icu_locale);
  // The ICU locale id that the environment names for collation.
  static std::string userLocale();

  ~Collation();
  Collation(const Collation&) = delete;
  Collation& operator=(const Collation&) = delete;

  // A byte string whose memcmp order is the collation order of the stored text.
  std::string sortKey(std::string_view stored_text) const;
  // <0, 0 or >0 as a sorts before, with or after b.
  int compare(std::string_view stored_a, std::string_view stored_b) const;

 private:
  explicit Collation(void* collator) : collator_(collator) {}
  void* collator_;  // UCollator
};

}  // namespace tunora::marlbase
