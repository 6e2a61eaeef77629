// Fuzz target: arbitrary bytes as a command line. Argument access must agree with the split,
// never return a quote inside an argument, and joined words must split back the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tunora;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> words = splitCommandLine(line);
  size_t quotes = 0;
  for (char c : line) quotes += c == '"';
  const bool unbalanced = quotes % 2 != 0;
  check(!unbalanced || words.empty());

  const int probes = static_cast<int>(words.size() < 40 ? words.size() + 1 : 40);
  for (int n = 0; n <= probes; ++n) {
    const CommandLineArg arg = commandLineArgument(line, n);
    if (unbalanced) {
      check(arg.status == ArgStatus::kUnbalanced);
    } else if (static_cast<size_t>(n) < words.size()) {
      check(arg.text == words[static_cast<size_t>(n)]);
      check(arg.status == (arg.text.empty() ? ArgStatus::kEmpty : ArgStatus::kFound));
    } else {
      check(arg.status == ArgStatus::kMissing && arg.text.empty());
    }
    check(arg.text.find('"') == std::string::npos);
  }
  check(splitCommandLine(joinCommandLine(words)) == words);

  const StartOptions options = readStartOptions(line);
  check(!options.argument_present || words.size() > 1);
  return 0;
}
