// The command table of tunora-cli: each area of the program contributes its commands, and
// main() finds the one named on the command line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/args.h"

namespace tunora::cli {

// Exit statuses of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command could not do its work; the reason on stderr
inline constexpr int kExitUsage = 2;    // the command line was wrong

// Prints "tunora-cli: MESSAGE" on stderr; returns kExitFailure.
inline int fail(const std::string& message) {
  std::fprintf(stderr, "tunora-cli: %s\n", message.c_str());
  return kExitFailure;
}

struct Command {
  std::vector<std::string> words;  // e.g. {"table", "create"}
  // Arguments after the words, e.g. "--columns T1,T2,... PATH". It names every option the
  // command takes: any other option is a usage error.
  std::string usage;
  std::string summary;                     // one line for --help
  std::vector<std::string> value_options;  // options that take a value, e.g. "--columns"
  int (*run)(const Args& args);            // the exit status
};

// Each area's commands; defined in <area>_commands.cc.
std::vector<Command> tableCommands();
std::vector<Command> libraryCommands();
std::vector<Command> appCommands();
std::vector<Command> mediaCommands();
std::vector<Command> engineCommands();
// fill.
std::vector<Command> fillerCommands();
// db, search, top and worst.
std::vector<Command> dbCommands();
// play and demo.
std::vector<Command> playerCommands();

}  // namespace tunora::cli
