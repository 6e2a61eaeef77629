// ID3v2 tag reading: the texts of the frames the walk (id3v2_frames.h) meets.
//
// Text frames ("TIT2"/"TT2" ...): encoding byte, then the text. Comment ("COMM"/"COM"):
// encoding byte, 3-byte language, description (terminated), text. The track ("TRCK"/"TRK",
// "3/12") and the genre ("TCON"/"TCO", "(17)" or a name) are text frames too.
#include "media/id3v2_reader.h"

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "media/genre_names.h"
#include "media/id3v2_frames.h"
#include "media/tag_text.h"
#include "util/text_codec.h"

namespace tunora::media {
namespace {

// At most this much of a wanted frame is read; the texts kept are far shorter.
constexpr uint64_t kMaxFrameRead = 64 * 1024;

enum class Field { kNone, kTitle, kArtist, kAlbum, kYear, kComment, kUserText, kTrack, kGenre };

Field fieldOf(std::string_view id) {
  if (id == "TIT2" || id == "TT2") return Field::kTitle;
  if (id == "TPE1" || id == "TP1") return Field::kArtist;
  if (id == "TALB" || id == "TAL") return Field::kAlbum;
  if (id == "TYER" || id == "TDRC" || id == "TYE") return Field::kYear;
  if (id == "COMM" || id == "COM") return Field::kComment;
  if (id == "TXXX" || id == "TXX") return Field::kUserText;
  if (id == "TRCK" || id == "TRK") return Field::kTrack;
  if (id == "TCON" || id == "TCO") return Field::kGenre;
  return Field::kNone;
}

// Comments by preference: players file their own data under described comments (such as
// normalisation values), and ffmpeg writes a comment as a user text named "comment".
enum CommentRank { kNoComment, kDescribedComment, kUserTextComment, kPlainComment };

// What has been taken so far: the first frame of each kind wins, and the first comment of the
// best rank.
struct Taken {
  bool title = false, artist = false, album = false, year = false, track = false, genre = false;
  CommentRank comment = kNoComment;
};

// Takes the texts of the frames it is shown into a record.
class TextTaker {
 public:
  explicit TextTaker(TagRecord& record) : record_(record) {}

  void take(const Id3v2Frame& frame) {
    // A frame without a body carries nothing, but the frames after it are sound.
    const Field field = fieldOf(frame.id());
    if (field == Field::kNone || frame.size() == 0 || alreadyTaken(field)) return;
    const std::optional<std::vector<uint8_t>> data = frame.data(kMaxFrameRead);
    if (data) takeText(field, *data);
  }

 private:
  bool alreadyTaken(Field field) const {
    switch (field) {
      case Field::kTitle:
        return taken_.title;
      case Field::kArtist:
        return taken_.artist;
      case Field::kAlbum:
        return taken_.album;
      case Field::kYear:
        return taken_.year;
      case Field::kComment:
        return taken_.comment == kPlainComment;
      case Field::kUserText:
        return taken_.comment >= kUserTextComment;
      case Field::kTrack:
        return taken_.track;
      case Field::kGenre:
        return taken_.genre;
      case Field::kNone:
        break;
    }
    return true;
  }

  void takeText(Field field, std::span<const uint8_t> data) {
    if (data.empty()) return;
    const uint8_t encoding = data[0];
    data = data.subspan(1);
    std::string text;
    size_t used = 0;
    if (field == Field::kComment || field == Field::kUserText) {
      if (field == Field::kComment) {
        if (data.size() < 3) return;
        data = data.subspan(3);  // language
      }
      std::string description;
      if (!decodeId3String(encoding, data, description, used)) return;
      data = data.subspan(used);
      CommentRank rank = description.empty() ? kPlainComment : kDescribedComment;
      if (field == Field::kUserText) {
        if (!equalIgnoringAsciiCase(description, "comment")) return;
        rank = kUserTextComment;
      }
      if (rank <= taken_.comment) return;
      if (!decodeId3String(encoding, data, text, used) || text.empty()) return;
      taken_.comment = rank;
      cutUtf8(text, kTagTextMax);
      record_.comment = std::move(text);
      return;
    }
    if (!decodeId3String(encoding, data, text, used) || text.empty()) return;
    if (field == Field::kTrack) {
      taken_.track = true;
      record_.track_number = trackNumberFromText(text);
      return;
    }
    if (field == Field::kGenre) {
      taken_.genre = true;
      record_.genre_name = genreFromText(text);
      cutUtf8(record_.genre_name, kTagTextMax);
      return;
    }
    if (field == Field::kYear) {
      taken_.year = true;
      cutUtf8(text, kTagYearMax);
      record_.year = std::move(text);
      return;
    }
    cutUtf8(text, kTagTextMax);
    if (field == Field::kTitle) {
      taken_.title = true;
      record_.title = std::move(text);
    } else if (field == Field::kArtist) {
      taken_.artist = true;
      record_.artist = std::move(text);
    } else if (field == Field::kAlbum) {
      taken_.album = true;
      record_.album = std::move(text);
    }
  }

  TagRecord& record_;
  Taken taken_;
};

}  // namespace

bool readId3v2(TagSource& source, TagRecord& record) {
  TextTaker taker(record);
  const bool tag = walkId3v2Frames(source, [&taker](const Id3v2Frame& frame) {
    taker.take(frame);
    return true;
  });
  if (tag) record.kind = TagKind::kId3v2;
  return tag;
}

}  // namespace tunora::media
