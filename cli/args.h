// Command-line options of one tunora-cli command: flags ("--all"), options with a value
// ("--columns 2,12" or "--columns=2,12") and positional arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunora::cli {

class Args {
 public:
  // Parses argv-style words. Options named in `value_options` take the next word as their value;
  // any other word starting with "--" is a flag. "--" ends the options.
  static Args parse(const std::vector<std::string>& words,
                    const std::vector<std::string>& value_options);

  bool flag(const std::string& name) const;
  std::optional<std::string> option(const std::string& name) const;
  const std::vector<std::string>& positional() const { return positional_; }
  // The names of every flag and option given: the flags, then the options with a value.
  std::vector<std::string> optionNames() const;
  // Set when the words could not be parsed (an option without its value).
  const std::string& error() const { return error_; }

 private:
  std::vector<std::string> flags_;
  std::vector<std::pair<std::string, std::string>> options_;
  std::vector<std::string> positional_;
  std::string error_;
};

// An option's decimal value into `value` when it lies in [low, high]; true also when the option
// is absent (`value` then keeps its default). False for text that is no number or out of range.
bool parseNumber(const std::optional<std::string>& text, int64_t low, int64_t high, int64_t& value);

}  // namespace tunora::cli
