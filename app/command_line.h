// Command-line argument access: the command line arrives as one string (joinCommandLine builds
// it from argv) and is split on blanks, double quotes grouping. Any length is handled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tunora {

enum class ArgStatus {
  kFound = 1,       // the argument exists
  kMissing = 2,     // no such argument; the text is empty
  kUnbalanced = 3,  // the line holds an odd number of double quotes; the text is untouched
  kEmpty = 4,       // the argument is empty ("")
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

// The desktop program's arguments, sorted. A word of at most two characters holding neither "/"
// nor "." is a start option ("s", "f", "\f", "-s"; only its last character counts); "--help"
// and "-h", "--version" ask for those texts; any other word is a path to open (a media file, a
// playlist file or a folder: "tunora %F" hands files over so, and a name ending in ".asf" must
// not select the filler).
struct ProgramArguments {
  std::vector<std::string> option_words;  // the program, then the start options, in order
  std::vector<std::string> paths;         // as given
  bool help = false;
  bool version = false;
  std::vector<std::string> unknown;  // other words starting with "--"
};
ProgramArguments sortProgramArguments(const std::vector<std::string>& words);

// What the arguments ask of start-up. Arguments 1, 2, ... are read while each read finds one;
// only the last character of each counts, lower-cased: "f" selects the media filler (and ends the
// scan), "s" starts playing at once.

struct StartOptions {
  bool argument_present = false;  // argument 1 exists (status 1)
  bool filler = false;
  bool play_on_start = false;
};
StartOptions readStartOptions(std::string_view line);

}  // namespace tunora
