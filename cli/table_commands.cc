// tunora-cli table create / info / dump: make a table file and show what it holds.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "cli/command.h"
#include "cli/file_checks.h"
#include "cli/output.h"
#include "marlbase/table_handle.h"
#include "util/json_out.h"

namespace tunora::cli {
namespace {

using marlbase::TableHandle;

int fail(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "tunora-cli: %s: %s\n", path.c_str(), why.c_str());
  return 1;
}

bool needOnePath(const Args& args, std::string& path) {
  if (args.positional().size() != 1) {
    std::fprintf(stderr, "tunora-cli: expected one PATH (try --help)\n");
    return false;
  }
  path = args.positional()[0];
  return true;
}

int runCreate(const Args& args) {
  std::string path;
  if (!needOnePath(args, path)) return 2;
  const auto columns = args.option("--columns");
  if (!columns || columns->empty()) {
    std::fprintf(stderr, "tunora-cli: --columns T1,T2,... is required\n");
    return 2;
  }
  std::vector<uint32_t> types;
  std::stringstream list(*columns);
  for (std::string item; std::getline(list, item, ',');) {
    char* end = nullptr;
    const unsigned long type = std::strtoul(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || type > UINT32_MAX) {
      std::fprintf(stderr, "tunora-cli: bad column type \"%s\"\n", item.c_str());
      return 2;
    }
    types.push_back(static_cast<uint32_t>(type));
  }
  const bool force = args.flag("--force");
  bool made = false;
  if (std::string e = claimNewFile(path, force, made); !e.empty()) {
    std::fprintf(stderr, "tunora-cli: %s\n", e.c_str());
    return 1;
  }
  TableHandle table;
  table.setPath(path);
  table.setColumnCount(static_cast<int32_t>(types.size()));
  std::string why;
  if (Status s = table.create(); !s.ok()) {
    why = s.message();
  } else {
    for (size_t c = 0; c < types.size() && why.empty(); ++c) {
      if (!table.defineColumn(static_cast<int32_t>(c + 1), types[c])) {
        why = "cannot write the column descriptors";
      }
    }
    if (why.empty() && !table.finishColumns()) why = "cannot write the record slots";
  }
  table.close();
  if (!why.empty()) {
    removeFailedCreate(path, made, force);
    return fail(path, why);
  }
  return 0;
}

std::string infoLine(const TableHandle& table) {
  struct stat st = {};
  stat(table.path().c_str(), &st);
  JsonWriter json;
  json.beginObject().key("columns").beginArray();
  for (int32_t c = 1; c <= table.columnCount(); ++c) json.value(table.columnType(c));
  json.endArray()
      .key("capacity")
      .value(table.capacity())
      .key("live")
      .value(table.liveCount())
      .key("record_size")
      .value(table.recordSize())
      .key("file_size")
      .value(static_cast<int64_t>(st.st_size))
      .endObject();
  return json.str();
}

Status openForReading(TableHandle& table, const std::string& path) {
  table.setPath(path);
  return table.open();
}

int runInfo(const Args& args) {
  std::string path;
  if (!needOnePath(args, path)) return 2;
  TableHandle table;
  if (Status s = openForReading(table, path); !s.ok()) return fail(path, s.message());
  std::printf("%s\n", infoLine(table).c_str());
  return 0;
}

std::string slotLine(const TableHandle& table, int32_t slot, int32_t status, bool bytes) {
  JsonWriter json;
  json.beginObject().key("slot").value(slot).key("status").value(status);
  json.key("fields").beginArray();
  for (int32_t c = 1; c <= table.columnCount(); ++c) {
    const auto type = static_cast<uint32_t>(table.columnType(c));
    const std::string_view field = table.peekField(slot, c);
    const auto* p = reinterpret_cast<const uint8_t*>(field.data());
    if (marlbase::isTextType(type)) {
      // As readField gives it: at most the width less one byte, up to the first NUL.
      const size_t most = field.empty() ? 0 : field.size() - 1;
      json.value(outputText(field.substr(0, strnlen(field.data(), most)), bytes));
    } else if (type == 0) {
      json.value(static_cast<int64_t>(p[0]));
    } else if (type == 1) {
      json.value(static_cast<int64_t>(p[0] | p[1] << 8));
    } else {
      json.value(static_cast<int64_t>(marlbase::loadU32(p)));
    }
  }
  json.endArray().endObject();
  return json.str();
}

int runDump(const Args& args) {
  std::string path;
  if (!needOnePath(args, path)) return 2;
  TableHandle table;
  if (Status s = openForReading(table, path); !s.ok()) return fail(path, s.message());
  const bool all = args.flag("--all");
  const bool bytes = args.flag("--bytes");
  std::printf("%s\n", infoLine(table).c_str());
  const TableHandle::Pass pass(table);  // one operation: the file's size is not checked per slot
  for (uint32_t s = 0; s < table.capacity(); ++s) {
    const auto slot = static_cast<int32_t>(s);
    const int32_t status = *table.peekStatus(slot);
    if (!all && status != marlbase::kStatusLive) continue;
    std::printf("%s\n", slotLine(table, slot, status, bytes).c_str());
  }
  return 0;
}

}  // namespace

std::vector<Command> tableCommands() {
  return {
      {{"table", "create"},
       "[--force] --columns T1,T2,... PATH",
       "Creates an empty table with columns of the given type codes (capacity 10); an existing "
       "file is refused unless --force.",
       {"--columns"},
       runCreate},
      {{"table", "info"},
       "PATH",
       "Prints {\"columns\":[...],\"capacity\":c,\"live\":l,\"record_size\":r,\"file_size\":f}.",
       {},
       runInfo},
      {{"table", "dump"},
       "[--all] [--bytes] PATH",
       "Prints the info line, then one JSON line per live slot (every slot with --all); "
       "--bytes shows each text byte as the code point of the same value.",
       {},
       runDump},
  };
}

}  // namespace tunora::cli
