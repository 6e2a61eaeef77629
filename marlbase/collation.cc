// ICU collation of stored texts.
#include "marlbase/collation.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <vector>

#include "util/text_codec.h"

namespace tunora::marlbase {
namespace {

UCollator* asCollator(void* p) { return static_cast<UCollator*>(p); }

std::u16string toUtf16(std::string_view stored) {
  const std::string utf8 = displayText(stored);
  std::u16string out(utf8.size() + 1, u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length,
                utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  out.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
  return out;
}

}  // namespace

std::string Collation::userLocale() {
  for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string locale(value);
    // "de_DE.UTF-8@euro" -> "de_DE"
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX") return "";
    return locale;
  }
  return "";
}

std::unique_ptr<Collation> Collation::forLocale(const std::string& icu_locale) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(icu_locale.c_str(), &status);
  if (U_FAILURE(status) || collator == nullptr) return nullptr;
  return std::unique_ptr<Collation>(new Collation(collator));
}

Collation::~Collation() { ucol_close(asCollator(collator_)); }

std::string Collation::sortKey(std::string_view stored_text) const {
  const std::u16string text = toUtf16(stored_text);
  const auto* chars = reinterpret_cast<const UChar*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  std::string key(64, '\0');
  int32_t needed =
      ucol_getSortKey(asCollator(collator_), chars, length, reinterpret_cast<uint8_t*>(key.data()),
                      static_cast<int32_t>(key.size()));
  if (needed > static_cast<int32_t>(key.size())) {
    key.assign(static_cast<size_t>(needed), '\0');
    needed = ucol_getSortKey(asCollator(collator_), chars, length,
                             reinterpret_cast<uint8_t*>(key.data()), needed);
  }
  key.resize(needed > 0 ? static_cast<size_t>(needed) - 1 : 0);  // drop the terminating zero
  return key;
}

int Collation::compare(std::string_view stored_a, std::string_view stored_b) const {
  const std::u16string a = toUtf16(stored_a);
  const std::u16string b = toUtf16(stored_b);
  return ucol_strcoll(asCollator(collator_), reinterpret_cast<const UChar*>(a.data()),
                      static_cast<int32_t>(a.size()), reinterpret_cast<const UChar*>(b.data()),
                      static_cast<int32_t>(b.size()));
}

}  // namespace tunora::marlbase
