// Splitting the command line into arguments.
#include "app/command_line.h"

#include <algorithm>

namespace tunora {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Calls visit(index, text, was_quoted_empty) for each argument in order; stops when visit
// returns false.
template <typename Visit>
void forEachArgument(std::string_view line, Visit visit) {
  size_t i = 0;
  int index = 0;
  while (true) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size()) return;
    std::string text;
    bool quoted = false;
    while (i < line.size() && (quoted || !isBlank(line[i]))) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        text.push_back(line[i]);
      }
      ++i;
    }
    if (!visit(index++, std::move(text))) return;
  }
}

bool unbalanced(std::string_view line) {
  return std::count(line.begin(), line.end(), '"') % 2 != 0;
}

}  // namespace

CommandLineArg commandLineArgument(std::string_view line, int n) {
  if (unbalanced(line)) return {ArgStatus::kUnbalanced, {}};
  CommandLineArg result{ArgStatus::kMissing, {}};
  if (n < 0) return result;
  forEachArgument(line, [&](int index, std::string text) {
    if (index < n) return true;
    result.status = text.empty() ? ArgStatus::kEmpty : ArgStatus::kFound;
    result.text = std::move(text);
    return false;
  });
  return result;
}

std::vector<std::string> splitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  if (unbalanced(line)) return words;
  forEachArgument(line, [&](int, std::string text) {
    words.push_back(std::move(text));
    return true;
  });
  return words;
}

std::string joinCommandLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty()) line.push_back(' ');
    std::string clean;
    for (char c : word) {
      if (c != '"') clean.push_back(c);
    }
    const bool quote = clean.empty() || std::any_of(clean.begin(), clean.end(), isBlank);
    if (quote) line.push_back('"');
    line += clean;
    if (quote) line.push_back('"');
  }
  return line;
}

StartOptions readStartOptions(std::string_view line) {
  StartOptions options;
  const std::vector<std::string> words = splitCommandLine(line);
  options.argument_present = words.size() > 1 && !words[1].empty();
  for (size_t n = 1; n < words.size() && !words[n].empty(); ++n) {
    const char last = words[n].back();
    if (last == 'f' || last == 'F') {
      options.filler = true;
      break;
    }
    if (last == 's' || last == 'S') options.play_on_start = true;
  }
  return options;
}

ProgramArguments sortProgramArguments(const std::vector<std::string>& words) {
  ProgramArguments sorted;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (i == 0 || word.empty()) {
      sorted.option_words.push_back(word);
    } else if (word == "--help" || word == "-h") {
      sorted.help = true;
    } else if (word == "--version") {
      sorted.version = true;
    } else if (word.rfind("--", 0) == 0) {
      sorted.unknown.push_back(word);
    } else if (word.size() <= 2 && word.find_first_of("/.") == std::string::npos) {
      sorted.option_words.push_back(word);
    } else {
      sorted.paths.push_back(word);
    }
  }
  return sorted;
}

}  // namespace tunora
