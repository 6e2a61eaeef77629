// The list builder's draw: filters, credits, candidate checks and the pick.
#include "engine/song_draw.h"

#include "engine/random_source.h"
#include "library/song_columns.h"
#include "media/settings_adaptor.h"
#include "util/text_codec.h"

namespace tunora::engine {
namespace {

using settings::kArtistMemory;
using settings::kRecentDraws;
using settings::kSongHistory;

// History and artist checks only make sense in libraries of at least this many songs.
constexpr int32_t kHistoryMinimumSongs = 200;
constexpr int32_t kArtistMinimumSongs = 500;
constexpr int32_t kLowestBalance = 49;

// Pushes a value at the front of a settings array; the oldest falls off.
void pushFront(Settings& settings, settings::IntArrayField field, int32_t value) {
  for (uint32_t i = field.count - 1; i > 0; --i) settings.set(field, i, settings.get(field, i - 1));
  settings.set(field, 0, value);
}

bool inArray(const Settings& settings, settings::IntArrayField field, int32_t value) {
  for (uint32_t i = 0; i < field.count; ++i) {
    if (settings.get(field, i) == value) return true;
  }
  return false;
}

void pushArtist(Settings& settings, const std::string& artist) {
  for (uint32_t i = kArtistMemory.count - 1; i > 0; --i) {
    settings.setText(kArtistMemory, i, settings.text(kArtistMemory, i - 1));
  }
  settings.setText(kArtistMemory, 0, artist);
}

bool artistRemembered(const Settings& settings, const std::string& artist) {
  for (uint32_t i = 0; i < kArtistMemory.count; ++i) {
    if (settings.text(kArtistMemory, i) == artist) return true;
  }
  return false;
}

}  // namespace

RatingThresholds ratingThresholdsOf(const Settings& settings) {
  RatingThresholds thresholds{};
  for (uint32_t k = 0; k < 10; ++k) {
    thresholds[k] = static_cast<uint32_t>(settings.get(settings::kRatingValue, k));
  }
  return thresholds;
}

int32_t ratingNumber(uint32_t score, const Settings& settings) {
  return ratingOfScore(score, ratingThresholdsOf(settings));
}

uint32_t ratingScoreOf(int32_t k, const Settings& settings) {
  return scoreOfRating(k, ratingThresholdsOf(settings));
}

DrawRules DrawRules::forCurrentState(const Settings& settings, uint32_t miss_count) {
  DrawRules rules;
  rules.user = settings.stateValue(settings::kStateUser);
  if (rules.user < 0 || rules.user >= kUserCount) rules.user = 0;
  rules.naughty_limit = static_cast<uint32_t>(settings.stateValue(settings::kStateNaughtyLimit));
  rules.min_rating = settings.stateValue(settings::kStateMinRating);
  if (miss_count > 2) {
    const int64_t lowered = int64_t{rules.min_rating} - (miss_count - 2);
    rules.min_rating = lowered < 0 ? 0 : static_cast<int32_t>(lowered);
  }
  rules.history = settings.stateValue(settings::kStateHistory) != 0;
  rules.no_artist_repeat = settings.stateValue(settings::kStateNoArtRep) != 0;
  rules.target = static_cast<uint32_t>(settings.get(settings::kTargetValue));
  rules.thresholds = ratingThresholdsOf(settings);
  rules.switches = media::mediaSwitchesOf(settings);
  return rules;
}

DrawOutcome drawOnce(marlbase::TableHandle& table, Settings& settings, BuilderMemory& memory,
                     const DrawRules& rules, RandomSource& random, int32_t* picked_slot) {
  const int32_t live = table.liveCount();
  const uint32_t n = drawRandom(static_cast<uint32_t>(live), random);
  if (inArray(settings, kRecentDraws, static_cast<int32_t>(n))) return DrawOutcome::kDiscarded;
  pushFront(settings, kRecentDraws, static_cast<int32_t>(n));

  const int32_t slot = table.nthLive(static_cast<int32_t>(n));
  if (slot < 0) return DrawOutcome::kDiscarded;
  const std::optional<std::string> path = table.readText(slot, kColFileName);
  if (!path || media::classifyMediaFile(*path, rules.switches) == media::kMediaNone) {
    return DrawOutcome::kDiscarded;
  }
  if (*path == memory.last_added_path) return DrawOutcome::kDiscarded;
  if (rules.naughty_limit != 3) {
    const uint32_t flags = table.readInt(slot, kColFlags).value_or(0);
    if ((flags & kFlagNaughtyMask) > rules.naughty_limit) return DrawOutcome::kDiscarded;
  }
  const uint32_t score = table.readInt(slot, ratingColumn(rules.user)).value_or(0);
  const int32_t rating = ratingOfScore(score, rules.thresholds);
  if (rating < rules.min_rating) return DrawOutcome::kDiscarded;
  uint32_t credit = table.readInt(slot, creditColumn(rules.user)).value_or(0);
  if (credit == 0) credit = 1;
  if (credit <= rules.target) {
    (void)table.writeInt(slot, creditColumn(rules.user), credit + score);
    return DrawOutcome::kCredited;
  }

  // A candidate. One that is refused keeps its credit and stays a candidate.
  if (rules.history && live >= kHistoryMinimumSongs && inArray(settings, kSongHistory, slot)) {
    return DrawOutcome::kDiscarded;
  }
  const std::string artist = asciiLower(table.readText(slot, kColArtist).value_or(""));
  if (rules.no_artist_repeat && live >= kArtistMinimumSongs && artistRemembered(settings, artist)) {
    return DrawOutcome::kDiscarded;
  }
  const int32_t balance = rating + memory.pick_balance - 5;
  if (balance <= kLowestBalance) return DrawOutcome::kDiscarded;

  memory.pick_balance = balance;
  pushFront(settings, kSongHistory, slot);
  if (rules.no_artist_repeat) pushArtist(settings, artist);
  const uint32_t plays = table.readInt(slot, kColPlayCount).value_or(0);
  (void)table.writeInt(slot, kColPlayCount, plays + 1);
  (void)table.writeInt(slot, creditColumn(rules.user), credit - rules.target);
  memory.last_picked_path = *path;
  *picked_slot = slot;
  return DrawOutcome::kPicked;
}

}  // namespace tunora::engine
