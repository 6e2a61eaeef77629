// tunora-cli: library tools. Finds the command named by the leading words and runs it.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command.h"

namespace tunora::cli {
namespace {

std::vector<Command> allCommands() {
  std::vector<Command> all;
  for (auto part : {tableCommands(), libraryCommands(), appCommands(), mediaCommands(),
                    engineCommands()}) {
    for (auto& command : part) all.push_back(std::move(command));
  }
#ifdef TUNORA_HAS_PLAYER
  for (auto& command : playerCommands()) all.push_back(std::move(command));
#endif
  return all;
}

std::string commandLine(const Command& command) {
  std::string line = "tunora-cli";
  for (const auto& word : command.words) line += " " + word;
  if (!command.usage.empty()) line += " " + command.usage;
  return line;
}

void printOverview(std::FILE* out, const std::vector<Command>& commands) {
  std::fprintf(out, "tunora-cli: library tools for the Tunora jukebox.\n\nCommands:\n");
  for (const auto& command : commands) {
    std::fprintf(out, "  %s\n      %s\n", commandLine(command).c_str(), command.summary.c_str());
  }
  std::fprintf(out, "\nEvery command takes --help.\n");
}

bool isHelp(const std::string& word) { return word == "--help" || word == "-h"; }

int run(const std::vector<std::string>& words) {
  const std::vector<Command> commands = allCommands();
  if (words.empty() || isHelp(words[0]) || words[0] == "help") {
    printOverview(words.empty() ? stderr : stdout, commands);
    return words.empty() ? 2 : 0;
  }
  // The command with the longest run of matching leading words.
  const Command* best = nullptr;
  for (const auto& command : commands) {
    if (command.words.size() > words.size()) continue;
    bool match = true;
    for (size_t i = 0; i < command.words.size(); ++i) match = match && words[i] == command.words[i];
    if (match && (!best || command.words.size() > best->words.size())) best = &command;
  }
  if (!best) {
    std::fprintf(stderr, "tunora-cli: unknown command \"%s\" (try --help)\n", words[0].c_str());
    return 2;
  }
  std::vector<std::string> rest(words.begin() + static_cast<long>(best->words.size()), words.end());
  for (const auto& word : rest) {
    if (isHelp(word)) {
      std::printf("usage: %s\n  %s\n", commandLine(*best).c_str(), best->summary.c_str());
      return 0;
    }
  }
  Args args = Args::parse(rest, best->value_options);
  if (!args.error().empty()) {
    std::fprintf(stderr, "tunora-cli: %s\nusage: %s\n", args.error().c_str(),
                 commandLine(*best).c_str());
    return 2;
  }
  return best->run(args);
}

}  // namespace
}  // namespace tunora::cli

int main(int argc, char** argv) {
  // The commands report failures as values; this only keeps an exception from a library call
  // (out of memory, say) from ending the program without a word.
  try {
    std::vector<std::string> words(argv + 1, argv + argc);
    return tunora::cli::run(words);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tunora-cli: %s\n", e.what());
    return 1;
  }
}
