// Writing JSON for the command-line tools: string quoting and a small builder for one-line
// objects and arrays. Input texts must already be UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunora {

// `text` as a JSON string literal, quotes included. Control characters are escaped as \u00XX.
std::string jsonQuote(std::string_view text);

// Builds one JSON value left to right: jsonObject() .key("a").value(1) ... .close().
class JsonWriter {
 public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  JsonWriter& key(std::string_view name);
  JsonWriter& value(std::string_view utf8_text);
  JsonWriter& value(const char* utf8_text) { return value(std::string_view(utf8_text)); }
  JsonWriter& value(int64_t number);
  JsonWriter& value(uint32_t number) { return value(static_cast<int64_t>(number)); }
  JsonWriter& value(int32_t number) { return value(static_cast<int64_t>(number)); }
  // Inserts text that is already JSON.
  JsonWriter& raw(std::string_view json);

  const std::string& str() const { return out_; }

 private:
  void separate();

  std::string out_;
  bool need_comma_ = false;
};

}  // namespace tunora
