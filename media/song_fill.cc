// Song texts from tags, file names and folder names; the LAME check.
#include "media/song_fill.h"

#include <array>

#include "library/song_columns.h"
#include "media/path_helpers.h"
#include "media/tag_reader.h"
#include "media/tag_text.h"

namespace tunora::media {
namespace {

constexpr size_t kLameScanBytes = 5000;

// Album and artist names from the folders above the file: ".../Artist/Album/file". A folder
// whose name lastPathComponent cannot find (a one-letter name, the root) gives no name, and
// then neither does any folder above it.
struct FolderNames {
  std::optional<std::string> album;
  std::optional<std::string> artist;
};

FolderNames folderNames(const std::string& path) {
  FolderNames names;
  const std::string folder = parentFolderOf(path);
  std::string album = lastPathComponent(folder);
  if (album == folder) return names;
  // folder is <above> "/" <album> "/".
  const std::string above = folder.substr(0, folder.size() - album.size() - 2);
  names.album = std::move(album);
  std::string artist = lastPathComponent(above);
  if (artist != above) names.artist = std::move(artist);
  return names;
}

std::string songText(std::string text) {
  cutUtf8(text, kSongTextMax);
  return text;
}

}  // namespace

bool songTextsFromFile(const std::string& path, bool names_only, const TagOptions& options,
                       SongTexts& texts) {
  texts = SongTexts{};
  TagRecord tag;
  if (!names_only && !readTags(path, tag)) return false;
  const FolderNames folders = options.dir_to_id ? folderNames(path) : FolderNames{};

  if (names_only) {
    texts.title = stripExtension(lastPathComponent(path));
    texts.note.emplace(1, ' ');  // one blank
    texts.album = folders.album;
    texts.artist = folders.artist;
  } else {
    texts.title = classifyMediaFile(tag.title, options.switches) != kMediaNone
                      ? stripExtension(tag.title)
                      : tag.title;
    texts.note = tag.comment;
    texts.album = (tag.album == kNoData && folders.album) ? *folders.album : tag.album;
    texts.artist = (tag.artist == kNoData && folders.artist) ? *folders.artist : tag.artist;
  }
  for (auto* text : {&texts.album, &texts.artist, &texts.title, &texts.note}) {
    if (*text) *text = songText(std::move(**text));
  }
  return true;
}

bool hasLameMark(const std::string& path) {
  FileTagSource file;
  if (!file.open(path)) return false;
  // A match may start at any of the first 5000 bytes and finish in the 3 after them.
  std::array<uint8_t, kLameScanBytes + 3> head{};
  const size_t n = file.readAt(0, head);
  static constexpr char kWord[] = "LAME";
  size_t i = 0;
  while (i < n && i < kLameScanBytes) {
    if (head[i++] != 'L') continue;
    size_t k = 1;
    // Each byte read is used up, the one that breaks the word included.
    while (k < 4 && i < n && head[i++] == kWord[k]) ++k;
    if (k == 4) return true;
  }
  return false;
}

void lameCheck(const std::string& path, marlbase::TableHandle& table, int32_t slot) {
  if (!hasLameMark(path)) return;
  const std::optional<uint32_t> start = table.readInt(slot, kColStartFrame);
  if (start && *start == 0) table.writeInt(slot, kColStartFrame, kLameStartFrame);
}

bool fillSongFromFile(const std::string& path, marlbase::TableHandle& table, int32_t slot,
                      bool names_only, const TagOptions& options) {
  if (options.lame_check) lameCheck(path, table, slot);
  SongTexts texts;
  if (!songTextsFromFile(path, names_only, options, texts)) return false;
  bool ok = true;
  if (texts.album) ok = table.writeText(slot, kColAlbum, *texts.album) && ok;
  if (texts.artist) ok = table.writeText(slot, kColArtist, *texts.artist) && ok;
  if (texts.title) ok = table.writeText(slot, kColTitle, *texts.title) && ok;
  if (texts.note) ok = table.writeText(slot, kColNote, *texts.note) && ok;
  return ok;
}

}  // namespace tunora::media
