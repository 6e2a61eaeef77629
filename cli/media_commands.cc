// tunora-cli commands of the media area: classify file names, read a file's tags into song
// texts, read a playlist.
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/command.h"
#include "cli/output.h"
#include "media/media_type.h"
#include "media/playlist_file.h"
#include "media/song_fill.h"
#include "util/json_out.h"

namespace tunora::cli {
namespace {

// Turns off the named switch; false for an unknown name.
bool switchOff(const std::string& name, media::MediaSwitches& s) {
  if (name == "mp3")
    s.play_mp3 = false;
  else if (name == "avi")
    s.play_avi = false;
  else if (name == "wav")
    s.play_wav = false;
  else if (name == "mpeg")
    s.play_mpeg = false;
  else if (name == "midi")
    s.play_midi = false;
  else if (name == "wma")
    s.play_wma = false;
  else if (name == "asf")
    s.play_asf = false;
  else if (name == "wmv")
    s.play_wmv = false;
  else
    return false;
  return true;
}

int runClassify(const Args& args) {
  media::MediaSwitches switches;
  switches.play_all = args.flag("--all");
  if (auto off = args.option("--off")) {
    std::stringstream list(*off);
    std::string name;
    while (std::getline(list, name, ',')) {
      if (!name.empty() && !switchOff(name, switches)) {
        std::fprintf(stderr, "tunora-cli: unknown file-type switch \"%s\"\n", name.c_str());
        return 2;
      }
    }
  }
  if (args.positional().empty()) {
    std::fprintf(stderr, "tunora-cli: classify needs at least one NAME\n");
    return 2;
  }
  const bool names = args.flag("--names");
  const bool bytes = args.flag("--bytes");
  for (const auto& name : args.positional()) {
    const uint32_t code = media::classifyMediaFile(name, switches);
    if (names) {
      std::printf("%u %s %s\n", code, std::string(media::mediaTypeName(code)).c_str(),
                  outputText(name, bytes).c_str());
    } else {
      std::printf("%u %s\n", code, outputText(name, bytes).c_str());
    }
  }
  return 0;
}

constexpr char kSupportedTypes[] = "mp3, wav, mid, wma, asf, avi, mpg, mpeg, wmv";

// The path made absolute against the current folder, "." and ".." resolved by name.
std::string fullPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

// An on|off option; false (with a message) for any other value.
bool onOffOption(const Args& args, const std::string& name, bool& value) {
  const auto text = args.option(name);
  if (!text) return true;
  if (*text == "on" || *text == "off") {
    value = *text == "on";
    return true;
  }
  std::fprintf(stderr, "tunora-cli: %s takes on or off, not \"%s\"\n", name.c_str(), text->c_str());
  return false;
}

int runTags(const Args& args) {
  media::TagOptions options;
  if (!onOffOption(args, "--dir-to-id", options.dir_to_id) ||
      !onOffOption(args, "--lame-check", options.lame_check)) {
    return 2;
  }
  if (args.positional().size() != 1) {
    std::fprintf(stderr, "tunora-cli: tags needs one PATH\n");
    return 2;
  }
  // "Dir -> ID" takes names from the folders above the file: a relative path gets them from the
  // current folder, as the full path would.
  const std::string path = fullPath(args.positional()[0]);
  media::MediaSwitches every_type;
  every_type.play_all = true;
  if (media::classifyMediaFile(path, every_type) == media::kMediaNone) {
    std::fprintf(stderr, "tunora-cli: %s: not a media file of a type Tunora plays (%s)\n",
                 args.positional()[0].c_str(), kSupportedTypes);
    return kExitFailure;
  }
  const bool names_only = args.flag("--names-only");
  const bool bytes = args.flag("--bytes");
  // A new blank song: empty texts, start point 0.
  uint32_t start_frame = 0;
  if (options.lame_check && media::hasLameMark(path)) start_frame = media::kLameStartFrame;
  media::SongTexts texts;
  if (!media::songTextsFromFile(path, names_only, options, texts)) {
    std::fprintf(stderr, "tunora-cli: cannot open %s\n", path.c_str());
    return kExitFailure;
  }
  const auto text = [&](const std::optional<std::string>& value) {
    return outputText(value.value_or(""), bytes);
  };
  JsonWriter json;
  json.beginObject()
      .key("title")
      .value(text(texts.title))
      .key("artist")
      .value(text(texts.artist))
      .key("album")
      .value(text(texts.album))
      .key("note")
      .value(text(texts.note))
      .key("start_frame")
      .value(start_frame)
      .endObject();
  std::printf("%s\n", json.str().c_str());
  return 0;
}

int runPlaylistRead(const Args& args) {
  if (args.positional().size() != 1) {
    std::fprintf(stderr, "tunora-cli: playlist read needs one PATH\n");
    return 2;
  }
  const bool bytes = args.flag("--bytes");
  const Status status = media::readListFile(args.positional()[0], [&](const std::string& line) {
    std::printf("%s\n", outputText(line, bytes).c_str());
  });
  if (!status.ok()) {
    std::fprintf(stderr, "tunora-cli: %s\n", status.message().c_str());
    return 1;
  }
  return 0;
}

}  // namespace

std::vector<Command> mediaCommands() {
  return {
      {{"classify"},
       "[--all] [--off LIST] [--names] [--bytes] NAME...",
       "media type code of each name (LIST: switches off, from mp3,avi,wav,mpeg,midi,wma,asf,wmv); "
       "--names prints the type's name (MP3 ... WMV, none) beside the code; --bytes shows each "
       "byte of a name as the code point of the same value",
       {"--off"},
       runClassify},
      {{"tags"},
       "[--dir-to-id on|off] [--lame-check on|off] [--names-only] [--bytes] PATH",
       "the title, artist, album, note and start point a new song gets from a media file "
       "(mp3, wav, mid, wma, asf, avi, mpg, mpeg, wmv; another type fails)",
       {"--dir-to-id", "--lame-check"},
       runTags},
      {{"playlist", "read"},
       "[--bytes] PATH",
       "the paths a playlist file gives, one per line",
       {},
       runPlaylistRead},
  };
}

}  // namespace tunora::cli
