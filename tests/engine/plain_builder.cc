// The plain draw of the list builder.
#include "tests/engine/plain_builder.h"

#include "engine/random_source.h"
#include "library/song_columns.h"

namespace tunora::testing {
namespace {

uint32_t readInt(marlbase::testing::PlainTable& t, int32_t slot, int32_t column) {
  t.readField(slot, column);
  return t.intValue;
}

std::string readText(marlbase::testing::PlainTable& t, int32_t slot, int32_t column) {
  t.readField(slot, column);
  return t.textValue;
}

void writeInt(marlbase::testing::PlainTable& t, int32_t slot, int32_t column, uint32_t v) {
  t.intValue = v;
  t.writeField(slot, column);
}

}  // namespace

DrawOutcome plainDrawOnce(marlbase::testing::PlainTable& table, Settings& settings,
                          BuilderMemory& memory, const DrawRules& rules, RandomSource& random,
                          int32_t* picked_slot) {
  using settings::kArtistMemory;
  using settings::kRecentDraws;
  using settings::kSongHistory;
  const int32_t live = table.liveCount();
  const auto n = static_cast<int32_t>(engine::drawRandom(static_cast<uint32_t>(live), random));
  for (uint32_t i = 0; i < 10; ++i) {
    if (settings.get(kRecentDraws, i) == n) return DrawOutcome::kDiscarded;
  }
  for (uint32_t i = 9; i > 0; --i) settings.set(kRecentDraws, i, settings.get(kRecentDraws, i - 1));
  settings.set(kRecentDraws, 0, n);
  const int32_t slot = table.nthLive(n);
  if (slot < 0) return DrawOutcome::kDiscarded;
  const std::string path = readText(table, slot, kColFileName);
  if (media::classifyMediaFile(path, rules.switches) == 0) return DrawOutcome::kDiscarded;
  if (path == memory.last_added_path) return DrawOutcome::kDiscarded;
  if (rules.naughty_limit != 3 && (readInt(table, slot, kColFlags) & 3) > rules.naughty_limit) {
    return DrawOutcome::kDiscarded;
  }
  const uint32_t score = readInt(table, slot, ratingColumn(rules.user));
  int32_t rating = 0;
  for (int32_t k = 10; k >= 1; --k) {
    if (score >= rules.thresholds[k - 1]) {
      rating = k;
      break;
    }
  }
  if (rating < rules.min_rating) return DrawOutcome::kDiscarded;
  uint32_t credit = readInt(table, slot, creditColumn(rules.user));
  if (credit == 0) credit = 1;
  if (credit <= rules.target) {
    writeInt(table, slot, creditColumn(rules.user), credit + score);
    return DrawOutcome::kCredited;
  }
  if (rules.history && live >= 200) {
    for (uint32_t i = 0; i < 100; ++i) {
      if (settings.get(kSongHistory, i) == slot) return DrawOutcome::kDiscarded;
    }
  }
  std::string artist = readText(table, slot, kColArtist);
  for (char& c : artist) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  if (rules.no_artist_repeat && live >= 500) {
    for (uint32_t i = 0; i < 20; ++i) {
      if (settings.text(kArtistMemory, i) == artist) return DrawOutcome::kDiscarded;
    }
  }
  const int32_t x = rating + memory.pick_balance - 5;
  if (x <= 49) return DrawOutcome::kDiscarded;
  memory.pick_balance = x;
  for (uint32_t i = 99; i > 0; --i)
    settings.set(kSongHistory, i, settings.get(kSongHistory, i - 1));
  settings.set(kSongHistory, 0, slot);
  if (rules.no_artist_repeat) {
    for (uint32_t i = 19; i > 0; --i) {
      settings.setText(kArtistMemory, i, settings.text(kArtistMemory, i - 1));
    }
    settings.setText(kArtistMemory, 0, artist);
  }
  writeInt(table, slot, kColPlayCount, readInt(table, slot, kColPlayCount) + 1);
  writeInt(table, slot, creditColumn(rules.user), credit - rules.target);
  memory.last_picked_path = path;
  *picked_slot = slot;
  return DrawOutcome::kPicked;
}

}  // namespace tunora::testing
