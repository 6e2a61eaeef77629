// tunora-cli commands of the library area: a new song table, content checksums of files.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/file_checks.h"
#include "cli/output.h"
#include "library/file_checksum.h"
#include "library/song_table.h"
#include "marlbase/table_handle.h"

namespace tunora::cli {
namespace {

int runCreateSongTable(const Args& args) {
  if (args.positional().size() != 1) {
    std::fprintf(stderr, "tunora-cli: table create-song needs exactly one PATH\n");
    return 2;
  }
  const std::string& path = args.positional()[0];
  const bool force = args.flag("--force");
  bool made = false;
  if (std::string e = claimNewFile(path, force, made); !e.empty()) {
    std::fprintf(stderr, "tunora-cli: %s\n", e.c_str());
    return 1;
  }
  marlbase::TableHandle table;
  const bool created = createSongTable(table, path);
  table.close();
  if (!created) {
    removeFailedCreate(path, made, force);
    std::fprintf(stderr, "tunora-cli: cannot create a song table at \"%s\"\n", path.c_str());
    return 1;
  }
  return 0;
}

// One line per path, "<FileId> <PATH>"; 0 stands for an unreadable file, as in the table. The
// path is shown as the table dump shows texts, so the output is always UTF-8.
int runChecksum(const Args& args) {
  if (args.positional().empty()) {
    std::fprintf(stderr, "tunora-cli: checksum needs at least one PATH\n");
    return 2;
  }
  for (const std::string& path : args.positional()) {
    std::printf("%u %s\n", static_cast<unsigned>(fileChecksum(path)),
                outputText(path, args.flag("--bytes")).c_str());
  }
  return 0;
}

}  // namespace

std::vector<Command> libraryCommands() {
  return {
      {{"table", "create-song"},
       "[--force] PATH",
       "create a new song table (44 columns, one blank record in slot 0); an existing file is "
       "refused unless --force",
       {},
       runCreateSongTable},
      {{"checksum"},
       "[--bytes] PATH...",
       "print each file's content checksum (the FileId column; 0 = unreadable) and its path "
       "(--bytes: each byte of the path as the code point of the same value)",
       {},
       runChecksum},
  };
}

}  // namespace tunora::cli
