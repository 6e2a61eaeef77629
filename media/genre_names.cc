// Genre names and track numbers out of tag texts.
#include "media/genre_names.h"

#include <array>

namespace tunora::media {
namespace {

constexpr std::array<std::string_view, 80> kGenres = {"Blues",
                                                      "Classic Rock",
                                                      "Country",
                                                      "Dance",
                                                      "Disco",
                                                      "Funk",
                                                      "Grunge",
                                                      "Hip-Hop",
                                                      "Jazz",
                                                      "Metal",
                                                      "New Age",
                                                      "Oldies",
                                                      "Other",
                                                      "Pop",
                                                      "R&B",
                                                      "Rap",
                                                      "Reggae",
                                                      "Rock",
                                                      "Techno",
                                                      "Industrial",
                                                      "Alternative",
                                                      "Ska",
                                                      "Death Metal",
                                                      "Pranks",
                                                      "Soundtrack",
                                                      "Euro-Techno",
                                                      "Ambient",
                                                      "Trip-Hop",
                                                      "Vocal",
                                                      "Jazz+Funk",
                                                      "Fusion",
                                                      "Trance",
                                                      "Classical",
                                                      "Instrumental",
                                                      "Acid",
                                                      "House",
                                                      "Game",
                                                      "Sound Clip",
                                                      "Gospel",
                                                      "Noise",
                                                      "AlternRock",
                                                      "Bass",
                                                      "Soul",
                                                      "Punk",
                                                      "Space",
                                                      "Meditative",
                                                      "Instrumental Pop",
                                                      "Instrumental Rock",
                                                      "Ethnic",
                                                      "Gothic",
                                                      "Darkwave",
                                                      "Techno-Industrial",
                                                      "Electronic",
                                                      "Pop-Folk",
                                                      "Eurodance",
                                                      "Dream",
                                                      "Southern Rock",
                                                      "Comedy",
                                                      "Cult",
                                                      "Gangsta",
                                                      "Top 40",
                                                      "Christian Rap",
                                                      "Pop/Funk",
                                                      "Jungle",
                                                      "Native American",
                                                      "Cabaret",
                                                      "New Wave",
                                                      "Psychadelic",
                                                      "Rave",
                                                      "Showtunes",
                                                      "Trailer",
                                                      "Lo-Fi",
                                                      "Tribal",
                                                      "Acid Punk",
                                                      "Acid Jazz",
                                                      "Polka",
                                                      "Retro",
                                                      "Musical",
                                                      "Rock & Roll",
                                                      "Hard Rock"};

constexpr int32_t kMaxTrackNumber = 9999;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The number that `text` consists of (at most 4 digits), or -1.
int numberOf(std::string_view text) {
  if (text.empty() || text.size() > 4) return -1;
  int value = 0;
  for (char c : text) {
    if (!isDigit(c)) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\0')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string_view id3v1GenreName(int index) {
  if (index < 0 || index >= static_cast<int>(kGenres.size())) return {};
  return kGenres[static_cast<size_t>(index)];
}

std::string genreFromText(std::string_view text) {
  text = trimmed(text);
  std::string_view reference;
  // "(17)", "(RX)", and "((" for a text that itself begins with a parenthesis.
  while (text.size() >= 2 && text.front() == '(' && text[1] != '(') {
    const size_t close = text.find(')');
    if (close == std::string_view::npos) break;
    if (reference.empty()) reference = text.substr(1, close - 1);
    text.remove_prefix(close + 1);
  }
  if (text.size() >= 2 && text[0] == '(' && text[1] == '(') text.remove_prefix(1);
  text = trimmed(text);
  if (!text.empty()) {
    const int number = numberOf(text);
    if (number < 0) return std::string(text);
    return std::string(id3v1GenreName(number));
  }
  if (reference == "RX") return "Remix";
  if (reference == "CR") return "Cover";
  return std::string(id3v1GenreName(numberOf(reference)));
}

int32_t trackNumberFromText(std::string_view text) {
  text = trimmed(text);
  int32_t value = 0;
  size_t digits = 0;
  for (; digits < text.size() && isDigit(text[digits]); ++digits) {
    value = value * 10 + (text[digits] - '0');
    if (value > kMaxTrackNumber) return 0;
  }
  return digits == 0 ? 0 : value;
}

}  // namespace tunora::media
