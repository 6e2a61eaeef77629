// Finding a song's cover picture.
#include "ui/cover_search.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "media/embedded_picture.h"
#include "media/path_helpers.h"
#include "ui/command_numbers.h"
#include "util/text_codec.h"

namespace tunora::ui {

namespace {

constexpr std::array<const char*, 5> kNamedExtensions = {"jpg", "jpeg", "bmp", "gif", "png"};
// The random pick's patterns, in order; each a list of extensions.
constexpr std::array<std::array<const char*, 2>, 4> kAnyPicture = {
    {{"jpg", "jpeg"}, {"bmp", nullptr}, {"gif", nullptr}, {"png", nullptr}}};
constexpr size_t kMaxNames = 10000;
constexpr int32_t kPickTries = 3;
constexpr uint32_t kFirstVideoType = 16;

bool readable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// The regular files of a folder, sorted by name; at most kMaxNames.
std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator() && names.size() < kMaxNames;
       it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) continue;
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string extensionOf(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : asciiLower(name.substr(dot + 1));
}

// One picture of the folder with one of the extensions, chosen at random among them; up to 3
// choices that cannot be read.
std::optional<std::string> pickRandomImage(const std::string& folder,
                                           const std::array<const char*, 2>& extensions,
                                           engine::RandomSource& random) {
  for (int32_t attempt = 0; attempt < kPickTries; ++attempt) {
    std::vector<std::string> names;
    for (const std::string& name : filesIn(folder)) {
      const std::string ext = extensionOf(name);
      for (const char* wanted : extensions) {
        if (wanted != nullptr && ext == wanted) names.push_back(name);
      }
    }
    if (names.empty()) return std::nullopt;
    const uint32_t draw = engine::drawRandom(static_cast<uint32_t>(names.size()), random);
    const std::string path = folder + names[draw == 0 ? 0 : draw - 1];
    if (readable(path)) return path;
  }
  return std::nullopt;
}

// "Folder.jpg", then one picture of any name.
std::optional<std::string> findAnyImage(const std::string& folder, engine::RandomSource& random) {
  for (const std::string& name : filesIn(folder)) {
    if (asciiLower(name) == "folder.jpg" && readable(folder + name)) return folder + name;
  }
  for (const auto& extensions : kAnyPicture) {
    if (auto path = pickRandomImage(folder, extensions, random)) return path;
  }
  return std::nullopt;
}

std::optional<CoverSource> fileSource(std::optional<std::string> path) {
  if (!path) return std::nullopt;
  return CoverSource{CoverSource::Kind::kFile, std::move(*path)};
}

}  // namespace

std::optional<std::string> findPictureNamed(const std::string& folder, const std::string& base) {
  const std::vector<std::string> names = filesIn(folder);
  const std::string lower_base = asciiLower(base);
  for (const char* ext : kNamedExtensions) {
    const std::string wanted = lower_base + "." + ext;
    for (const std::string& name : names) {
      if (asciiLower(name) == wanted && readable(folder + name)) return folder + name;
    }
  }
  return std::nullopt;
}

CoverSearch searchCover(const CoverQuery& query, engine::RandomSource& random) {
  CoverSearch search;
  if (query.media_type >= kFirstVideoType || query.song_path.empty()) return search;
  const std::string folder = media::parentFolderOf(query.song_path);
  if (folder == query.song_path) return search;  // no folder in the path
  search.cover = fileSource(findPictureNamed(folder, "Cover"));
  search.disc = fileSource(findPictureNamed(folder, "Disc"));
  if (search.cover || search.disc) return search;
  search.cover = fileSource(findAnyImage(folder, random));
  if (search.cover) return search;
  if (media::hasEmbeddedPicture(query.song_path)) {
    search.fallback = CoverSource{CoverSource::Kind::kEmbedded, query.song_path};
    return search;
  }
  for (const std::string* dir : {&query.data_directory, &query.program_directory}) {
    if (dir->empty()) continue;
    if ((search.fallback = fileSource(findPictureNamed(*dir, "Cover")))) return search;
  }
  return search;
}

std::optional<CoverSource> chooseCover(const CoverSearch& search, int32_t upper_right_view) {
  if (search.fallback) return search.fallback;
  const bool want_cover = (upper_right_view == kViewCover && search.cover) ||
                          (upper_right_view == kViewDisc && !search.disc) ||
                          (upper_right_view >= kViewAlbum && search.cover);
  if (want_cover && search.cover) return search.cover;
  return search.disc ? search.disc : search.cover;
}

}  // namespace tunora::ui
