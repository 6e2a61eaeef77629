// tunora-cli commands of the app area: a settings file as a first run leaves it, and every named
// field of a settings file as one line of JSON.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/output.h"
#include "cli/settings_input.h"
#include "settings/file_read.h"
#include "settings/settings.h"
#include "settings/settings_defaults.h"
#include "settings/settings_fields.h"
#include "settings/settings_file.h"
#include "util/json_out.h"

namespace tunora::cli {
namespace {

using settings::FieldInfo;
using settings::FieldKind;

int usage(const std::string& message) {
  std::fprintf(stderr, "tunora-cli: %s (try --help)\n", message.c_str());
  return kExitUsage;
}

int runDefaults(const Args& args) {
  if (args.positional().size() != 1) return usage("settings defaults needs exactly one PATH");
  Settings s;
  std::string error;
  if (!readSettingsArgument(args.positional()[0], true, s, error)) return fail(error);
  resetAll(s);
  resetRatingValues(s);
  if (const auto db = args.option("--db")) s.setText(settings::kDatabasePath, *db);
  const Status status = writeSettingsFile(args.positional()[0], s);
  return status.ok() ? 0 : fail(status.message());
}

void writeField(JsonWriter& json, const Settings& s, const FieldInfo& f, bool exact_bytes) {
  json.key(f.name);
  switch (f.kind) {
    case FieldKind::kInt:
      json.value(s.get(settings::IntField{f.offset}));
      break;
    case FieldKind::kIntArray:
      json.beginArray();
      for (uint32_t i = 0; i < f.count; ++i) {
        json.value(s.get(settings::IntArrayField{f.offset, f.count}, i));
      }
      json.endArray();
      break;
    case FieldKind::kText:
      json.value(outputText(s.text(settings::TextField{f.offset, f.size}), exact_bytes));
      break;
    case FieldKind::kTextArray:
      json.beginArray();
      for (uint32_t i = 0; i < f.count; ++i) {
        json.value(outputText(s.text(settings::TextArrayField{f.offset, f.count, f.size}, i),
                              exact_bytes));
      }
      json.endArray();
      break;
  }
}

int runShow(const Args& args) {
  if (args.positional().size() != 1) return usage("settings show needs exactly one PATH");
  const std::string& path = args.positional()[0];
  const auto bytes = readFilePrefix(path, kSettingsFileSize);
  if (!bytes) return fail("cannot read settings file \"" + path + "\"");
  Settings s;
  const int version = decodeSettingsFile(*bytes, s);
  const bool exact = args.flag("--bytes");

  JsonWriter json;
  json.beginObject().key("version_check").value(static_cast<int64_t>(version));
  for (const FieldInfo& f : settings::kSettingsFields) writeField(json, s, f, exact);
  json.key("Filler").beginObject();
  for (const FieldInfo& f : settings::kFillerFields) writeField(json, s, f, exact);
  json.endObject().endObject();
  std::printf("%s\n", json.str().c_str());
  return 0;
}

}  // namespace

std::vector<Command> appCommands() {
  return {
      {{"settings", "defaults"},
       "[--db LIBRARY] PATH",
       "write a settings file as a first run leaves it (full reset, \"Default\" rating values; "
       "--db: the library's path)",
       {"--db"},
       runDefaults},
      {{"settings", "show"},
       "[--bytes] PATH",
       "print every named field of a settings file as one JSON object, with its version check",
       {},
       runShow},
  };
}

}  // namespace tunora::cli
