// The desktop program.
#include "app/desktop/desktop_program.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/command_line.h"
#include "app/desktop/desktop_run.h"
#include "import/import.h"

namespace tunora {
namespace {

constexpr char kUsage[] =
    "Usage: tunora [s] [f] [FILE | FOLDER | PLAYLIST]...\n"
    "Tunora is an automatic music player that fills its own play list.\n"
    "\n"
    "  s          start playing at once\n"
    "  f          open only the media filler (it may run beside a player)\n"
    "  FILE...    media files, playlist files (.m3u, .txt) and folders: imported into\n"
    "             the library, and the first song plays at once; when a player runs\n"
    "             already, they go to it, its window comes up, and this start ends\n"
    "  --help     print this text and end\n"
    "  --version  print the version and end\n"
    "\n"
    "One player runs at a time: a second start raises the running player's window.\n";

// The paths handed to the program, made absolute (folders ending in "/"); each path that is not
// a media file, a playlist or a folder is reported on stderr and left out.
std::vector<std::string> acceptedPaths(const std::vector<std::string>& given) {
  std::vector<std::string> accepted;
  for (const std::string& path : given) {
    std::error_code ec;
    std::string full = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (ec) full = path;
    const media::HandedPathKind kind = media::handedPathKind(full);
    if (kind == media::HandedPathKind::kNone) {
      std::fprintf(stderr, "tunora: %s: not a media file, playlist or folder\n", path.c_str());
      continue;
    }
    if (kind == media::HandedPathKind::kFolder && full.back() != '/') full.push_back('/');
    accepted.push_back(std::move(full));
  }
  return accepted;
}

}  // namespace

int runDesktopProgram(int argc, char** argv) {
  std::vector<std::string> words(argv, argv + argc);
  const ProgramArguments arguments = sortProgramArguments(words);
  if (arguments.help || arguments.version || !arguments.unknown.empty()) {
    if (!arguments.unknown.empty()) {
      std::fprintf(stderr, "tunora: unknown option %s\n%s", arguments.unknown.front().c_str(),
                   kUsage);
      return 2;
    }
    if (arguments.version) std::printf("%s\n", kVersionTitle);
    if (arguments.help) std::printf("%s", kUsage);
    return 0;
  }
  // Paths that name nothing the program can open change nothing.
  const std::vector<std::string> paths = acceptedPaths(arguments.paths);
  if (!arguments.paths.empty() && paths.empty()) return 1;
  DesktopRun run(argc, argv, paths);
  return run.run(joinCommandLine(arguments.option_words));
}

}  // namespace tunora
