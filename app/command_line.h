// Command-line argument access: the command line arrives as one string (joinCommandLine builds
// it from argv) and is split on blanks, double quotes grouping. Any length is handled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tunora {

enum class ArgStatus {
  kFound = 1,          // the argument exists
  kMissing = 2,        // no such argument; the text is empty
  kUnbalanced = 3,     // the line holds an odd number of double quotes; the text is untouched
  kEmpty = 4,          // the argument is empty ("")
};

struct CommandLineArg {
  ArgStatus status;
  std::string text;
};

// Argument n of the command line (0 = the program, 1 = the first argument). Arguments are
// separated by runs of blanks and tabs; double quotes group blanks into one argument and are
// removed from its text ("a b"c is the one argument `a bc`).
CommandLineArg commandLineArgument(std::string_view line, int n);

// All arguments (the program included), as commandLineArgument splits them. Empty when the
// quotes are unbalanced.
std::vector<std::string> splitCommandLine(std::string_view line);

// A command line from argv-style words: words that are empty or hold blanks or tabs are put in
// double quotes. A word holding a double quote cannot be written so that it splits back the same
// (the line has no escape character); its quotes are dropped.
std::string joinCommandLine(const std::vector<std::string>& words);

// What the arguments ask of start-up. Arguments 1, 2, ... are read while each read finds one;
// only the last character of each counts, lower-cased: "f" selects the media filler (and ends the
// scan), "s" starts playing at once.
// The words that can carry start options: the program, then every argument that is not an
// absolute path. The desktop hands files over as absolute paths ("tunora %F"); their last
// character must not count as an option (a name ending in ".asf" would select the filler).
std::vector<std::string> optionWords(const std::vector<std::string>& words);

struct StartOptions {
  bool argument_present = false;  // argument 1 exists (status 1)
  bool filler = false;
  bool play_on_start = false;
};
StartOptions readStartOptions(std::string_view line);

}  // namespace tunora
