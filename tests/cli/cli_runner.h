// Runs the tunora-cli program built with the tests and captures what it prints.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "tests/support/temp_dir.h"

namespace tunora::testing {

struct CliResult {
  int status = -1;
  std::string out;  // standard output; standard error goes to `err`
  std::string err;
};

inline std::string shellQuote(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// A file's bytes as a string.
inline std::string readText(const std::string& path) {
  const std::vector<uint8_t> bytes = readBytes(path);
  return {bytes.begin(), bytes.end()};
}

// Runs "tunora-cli arguments" (arguments as the shell reads them) in `folder`, or in the test's
// own folder when it is empty, standard error going to `err_file`; `timeout` ends a run that
// hangs after 60 s (exit 124).
inline CliResult runCli(const std::string& arguments, const std::string& err_file,
                        const std::string& folder = "") {
  CliResult result;
  const std::string command = (folder.empty() ? "" : "cd " + shellQuote(folder) + " && ") +
                              "timeout 60 " + std::string(TUNORA_CLI_PATH) + " " + arguments +
                              " 2>" + shellQuote(err_file);
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
    result.out.append(buffer.data(), n);
  }
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = readText(err_file);
  return result;
}

}  // namespace tunora::testing
