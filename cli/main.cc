// tunora-cli: library tools. Finds the command named by the leading words and runs it; a group's
// word alone ("table", "settings", "playlist") lists the group's commands.
#include <cctype>
#include <cstdio>
#include <exception>
#include <set>
#include <string>
#include <vector>

#include "cli/command.h"

namespace tunora::cli {
namespace {

constexpr char kExitStatusHelp[] =
    "Exit status: 0 done; 1 failed (the reason is on standard error); 2 usage error (unknown\n"
    "command or option, missing or extra arguments).\n";

std::vector<Command> allCommands() {
  std::vector<Command> all;
  for (auto part : {tableCommands(), libraryCommands(), appCommands(), mediaCommands(),
                    engineCommands(), dbCommands(), playerCommands(), fillerCommands()}) {
    for (auto& command : part) all.push_back(std::move(command));
  }
  return all;
}

std::string commandLine(const Command& command) {
  std::string line = "tunora-cli";
  for (const auto& word : command.words) line += " " + word;
  if (!command.usage.empty()) line += " " + command.usage;
  return line;
}

// Lists the commands whose first word is `group`, or every command when group is empty.
void printCommands(std::FILE* out, const std::vector<Command>& commands, const std::string& group) {
  for (const auto& command : commands) {
    if (!group.empty() && command.words[0] != group) continue;
    std::fprintf(out, "  %s\n      %s\n", commandLine(command).c_str(), command.summary.c_str());
  }
}

void printOverview(std::FILE* out, const std::vector<Command>& commands) {
  std::fprintf(out, "tunora-cli: library tools for the Tunora jukebox.\n\nCommands:\n");
  printCommands(out, commands, "");
  std::fprintf(out, "\nEvery command takes --help.\n%s", kExitStatusHelp);
}

void printGroup(std::FILE* out, const std::vector<Command>& commands, const std::string& group) {
  std::fprintf(out, "tunora-cli %s: one of\n", group.c_str());
  printCommands(out, commands, group);
  std::fprintf(out, "\n%s", kExitStatusHelp);
}

bool isHelp(const std::string& word) { return word == "--help" || word == "-h"; }

bool isGroup(const std::vector<Command>& commands, const std::string& word) {
  for (const auto& command : commands) {
    if (command.words.size() > 1 && command.words[0] == word) return true;
  }
  return false;
}

// The options a command's usage line names ("--columns" in "--columns T1,T2,... PATH").
std::set<std::string> knownOptions(const Command& command) {
  std::set<std::string> names;
  const std::string& usage = command.usage;
  for (size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
    size_t end = at + 2;
    while (end < usage.size() &&
           (std::isalnum(static_cast<unsigned char>(usage[end])) || usage[end] == '-')) {
      ++end;
    }
    names.insert(usage.substr(at, end - at));
  }
  return names;
}

int usageError(const Command& command, const std::string& message) {
  std::fprintf(stderr, "tunora-cli: %s\nusage: %s\n", message.c_str(),
               commandLine(command).c_str());
  return kExitUsage;
}

// A first word that names no command: a group's word alone or with --help lists the group.
int runWithoutCommand(const std::vector<Command>& commands, const std::vector<std::string>& words) {
  if (!isGroup(commands, words[0])) {
    std::fprintf(stderr, "tunora-cli: unknown command \"%s\" (try --help)\n", words[0].c_str());
    return kExitUsage;
  }
  for (const auto& word : words) {
    if (isHelp(word)) {
      printGroup(stdout, commands, words[0]);
      return kExitOk;
    }
  }
  if (words.size() == 1) {
    std::fprintf(stderr, "tunora-cli: \"%s\" needs a command\n", words[0].c_str());
  } else {
    std::fprintf(stderr, "tunora-cli: unknown command \"%s %s\"\n", words[0].c_str(),
                 words[1].c_str());
  }
  printGroup(stderr, commands, words[0]);
  return kExitUsage;
}

int run(const std::vector<std::string>& words) {
  const std::vector<Command> commands = allCommands();
  if (words.empty() || isHelp(words[0]) || words[0] == "help") {
    printOverview(words.empty() ? stderr : stdout, commands);
    return words.empty() ? kExitUsage : kExitOk;
  }
  // The command with the longest run of matching leading words.
  const Command* best = nullptr;
  for (const auto& command : commands) {
    if (command.words.size() > words.size()) continue;
    bool match = true;
    for (size_t i = 0; i < command.words.size(); ++i) match = match && words[i] == command.words[i];
    if (match && (!best || command.words.size() > best->words.size())) best = &command;
  }
  if (!best) return runWithoutCommand(commands, words);
  std::vector<std::string> rest(words.begin() + static_cast<long>(best->words.size()), words.end());
  for (const auto& word : rest) {
    if (word == "--") break;
    if (isHelp(word)) {
      std::printf("usage: %s\n  %s\n\n%s", commandLine(*best).c_str(), best->summary.c_str(),
                  kExitStatusHelp);
      return kExitOk;
    }
  }
  Args args = Args::parse(rest, best->value_options);
  if (!args.error().empty()) return usageError(*best, args.error());
  const std::set<std::string> known = knownOptions(*best);
  for (const std::string& name : args.optionNames()) {
    if (!known.count(name)) return usageError(*best, "unknown option " + name);
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
