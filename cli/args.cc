// Parsing of one command's options.
#include "cli/args.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace tunora::cli {

Args Args::parse(const std::vector<std::string>& words,
                 const std::vector<std::string>& value_options) {
  Args args;
  bool options_done = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (options_done || word.size() < 2 || word.compare(0, 2, "--") != 0) {
      args.positional_.push_back(word);
      continue;
    }
    if (word == "--") {
      options_done = true;
      continue;
    }
    std::string name = word;
    std::optional<std::string> inline_value;
    if (auto eq = word.find('='); eq != std::string::npos) {
      name = word.substr(0, eq);
      inline_value = word.substr(eq + 1);
    }
    const bool takes_value =
        std::find(value_options.begin(), value_options.end(), name) != value_options.end();
    if (!takes_value) {
      args.flags_.push_back(name);
    } else if (inline_value) {
      args.options_.emplace_back(name, *inline_value);
    } else if (i + 1 < words.size()) {
      args.options_.emplace_back(name, words[++i]);
    } else {
      args.error_ = "option " + name + " needs a value";
    }
  }
  return args;
}

bool Args::flag(const std::string& name) const {
  return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

std::vector<std::string> Args::optionNames() const {
  std::vector<std::string> names = flags_;
  for (const auto& [name, value] : options_) names.push_back(name);
  return names;
}

std::optional<std::string> Args::option(const std::string& name) const {
  // The last occurrence wins.
  for (auto it = options_.rbegin(); it != options_.rend(); ++it) {
    if (it->first == name) return it->second;
  }
  return std::nullopt;
}

bool parseNumber(const std::optional<std::string>& text, int64_t low, int64_t high,
                 int64_t& value) {
  if (!text) return true;
  char* end = nullptr;
  errno = 0;
  const long long n = std::strtoll(text->c_str(), &end, 10);
  if (text->empty() || *end != '\0' || errno == ERANGE || n < low || n > high) return false;
  value = n;
  return true;
}

}  // namespace tunora::cli
