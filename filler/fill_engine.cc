// The fill loop: pick, name, copy, count, flush.
#include "filler/fill_engine.h"

#include <unordered_set>

#include "engine/alt_pattern.h"
#include "engine/lock_codes.h"
#include "filler/fill_plan.h"
#include "library/song_columns.h"
#include "media/media_type.h"
#include "settings/filler_layout.h"

namespace tunora::filler {

namespace {

// Names tried for one song before the copy counts as failed.
constexpr int kMaxNameTries = 1000;

// The songs a fill with these choices can ever pick: live, of a switched-on type, within the
// naughty limit (the minimum rating is lowered while passes miss), each path counted once.
int32_t pickableSongs(marlbase::TableHandle& table, const Settings& settings) {
  const engine::DrawRules rules = engine::DrawRules::forCurrentState(settings, 0);
  std::unordered_set<std::string> paths;
  for (int32_t slot = table.nextLive(-1); slot >= 0;) {
    const std::string path = table.readText(slot, kColFileName).value_or("");
    const uint32_t level = table.readInt(slot, kColFlags).value_or(0) & kFlagNaughtyMask;
    if (media::classifyMediaFile(path, rules.switches) != media::kMediaNone &&
        (rules.naughty_limit == 3 || level <= rules.naughty_limit)) {
      paths.insert(path);
    }
    const int32_t next = table.nextLive(slot);
    if (next == slot) break;
    slot = next;
  }
  return static_cast<int32_t>(paths.size());
}

}  // namespace

std::string numberedName(const std::string& name, int n) {
  const size_t dot = name.find_last_of('.');
  const std::string suffix = " (" + std::to_string(n) + ")";
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string fillSummary(const FillResult& result) {
  std::string text = result.message;
  if (result.renamed > 0) {
    text += "; " + std::to_string(result.renamed) +
            (result.renamed == 1 ? " song was" : " songs were") +
            " saved under a free name, as the folder had a file of its name";
  }
  return text;
}

FillEngine::FillEngine(engine::SharedLock& lock, engine::ListBuilder& builder,
                       engine::LibraryAccess& library, Settings& settings, FillFiles& files,
                       FillReport& report, Env& env)
    : lock_(lock),
      builder_(builder),
      library_(library),
      settings_(settings),
      files_(files),
      report_(report),
      env_(env) {}

void FillEngine::setNetworkContext(network::NetworkContext* context, std::string data_directory) {
  network_ = context;
  data_directory_ = std::move(data_directory);
}

void FillEngine::requestStop() {
  stop_.store(1);
  lock_.words().abort.store(1);
}

// Sleeps in steps of at most 100 ms so a stop is seen promptly.
void FillEngine::sleepChecking(int32_t millis) {
  while (millis > 0 && !stopped()) {
    const int32_t step = millis < 100 ? millis : 100;
    env_.sleepFor(std::chrono::milliseconds(step));
    millis -= step;
  }
}

std::string FillEngine::pick() {
  engine::SharedWords& words = lock_.words();
  for (int empty_passes = 0; !stopped();) {
    {
      // The database is marked as held by the builder's code for the pass.
      engine::Grant grant = lock_.takeGrantDirectly(engine::kCodeListBuilder);
      builder_.runBuildPassHolding(grant);
    }
    if (words.build_request.load() == 2) {
      words.build_request.store(engine::kBuildIdle);
      engine::BuilderMemory& memory = builder_.memory();
      // The next pick differs from this one.
      memory.last_added_path = memory.last_picked_path;
      return memory.last_picked_path;
    }
    if (++empty_passes >= kMaxEmptyPasses) break;
    sleepChecking(kPassPauseMillis);
  }
  return {};
}

FillResult FillEngine::run() {
  lock_.words().abort.store(0);
  report_.setTitle(kFillBusyTitle);
  applyFillChoices(settings_);
  if (network_ != nullptr) {
    network_->local_copy_path = data_directory_ + kFillMbfName;
    network_->network_refresh_counter.store(200);
  }
  const std::string folder = settings_.text(settings::kFillOutputDir);
  const bool add_number = settings_.get(settings::kFillAddNumber) != 0;
  const std::optional<int64_t> budget = fillBudgetUnits(settings_.get(settings::kFillSizeIndex));
  int64_t remaining = budget.value_or(0);

  std::vector<std::string> written;
  FillResult result;
  result.stale_removed = files_.removeStaleCopies(folder);
  // The builder counts the songs of the library as last opened.
  int32_t pickable = 0;
  {
    engine::Grant grant = lock_.takeGrantDirectly(engine::kCodeListBuilder);
    library_.openLibraryForReading();
    const bool open = library_.table().isOpen();
    const int32_t songs = open ? library_.table().liveCount() : 0;
    if (open) pickable = pickableSongs(library_.table(), settings_);
    library_.table().close();
    if (!open || songs < engine::kMinimumSongsToBuild) {
      result.end = FillEnd::kNoLibrary;
      result.message = open ? "The library holds too few songs to pick from (fewer than " +
                                  std::to_string(engine::kMinimumSongsToBuild) + ")"
                            : "Cannot open list";
      return finish(result, written, folder);
    }
  }

  builder_.setFillerPickMode(true);
  std::unordered_set<std::string> copied;
  int repeats = 0;
  int32_t number = 0;
  for (;;) {
    if (stopped()) {
      result.end = FillEnd::kStopped;
      result.message = kStoppedText;
      break;
    }
    const std::string song = pick();
    if (song.empty()) {
      result.end = stopped() ? FillEnd::kStopped : FillEnd::kNoPick;
      result.message = stopped() ? kStoppedText : kNoPickText;
      break;
    }
    if (copied.count(song) != 0) {
      if (++repeats >= kMaxRepeatPicks) {
        result.end = FillEnd::kAllCopied;
        result.message = std::to_string(copied.size()) + " of " + std::to_string(pickable) +
                         " songs copied (the others were not picked in " +
                         std::to_string(kMaxRepeatPicks) + " picks)";
        break;
      }
      continue;
    }
    repeats = 0;
    const std::string wanted = fillTargetName(song, add_number, number);

    // Never fill the target's file system to the last byte (it may be the system disk).
    const std::optional<SpaceInfo> space = files_.space(folder);
    const std::optional<uint64_t> song_size = files_.fileSize(song);
    if (space && song_size && space->available_bytes < fillReserveBytes(*space) + *song_size) {
      result.end = FillEnd::kReserveReached;
      result.message = "Stopped with " + std::to_string(space->available_bytes >> 20) +
                       " MB left free on the target (kept free: " +
                       std::to_string(fillReserveBytes(*space) >> 20) + " MB)";
      break;
    }
    // A file already in the folder is never replaced: the song gets the first free name.
    std::string name = wanted;
    Status copy;
    for (int attempt = 1;; ++attempt) {
      name = attempt == 1 ? wanted : numberedName(wanted, attempt);
      bool taken = false;
      copy = files_.copyFile(song, joinPath(folder, name), taken);
      if (copy.ok() || !taken || attempt >= kMaxNameTries) break;
    }
    if (!copy.ok()) {
      result.end = FillEnd::kCopyFailed;
      result.message = "Copy failed: " + copy.message();
      break;
    }
    if (name != wanted) ++result.renamed;
    number = nextPickNumber(number);
    copied.insert(song);
    const std::string target = joinPath(folder, name);
    written.push_back(target);
    const std::optional<uint64_t> size = files_.fileSize(target);
    ++result.files;
    result.bytes += size.value_or(0);
    report_.fileCopied(target, size.value_or(0));

    bool done = false;
    if (budget) {
      if (size) {
        const int64_t units = static_cast<int64_t>(*size / 1024);
        if (units < remaining) {
          remaining -= units;
        } else {
          done = true;  // the file that reached the budget stays
        }
        report_.setTitle(fillProgressTitle(remaining, name));
      } else {
        report_.setTitle(name);
      }
    } else {
      report_.setTitle(name);
    }
    if (settings_.stateValue(settings::kStateAltMode) != 0) {
      engine::advanceAltPattern(settings_, builder_.memory().pattern_position);
    }
    if (done) {
      result.end = FillEnd::kBudgetUsed;
      result.message = "Fill size reached";
      break;
    }
    if (static_cast<int64_t>(copied.size()) >= pickable) {
      result.end = FillEnd::kAllCopied;
      result.message = "all " + std::to_string(copied.size()) + " songs copied";
      break;
    }
  }
  builder_.setFillerPickMode(false);
  return finish(result, written, folder);
}

FillResult FillEngine::finish(FillResult result, const std::vector<std::string>& written,
                              const std::string& folder) {
  // A portable player is unplugged as soon as the fill says it is done.
  for (const auto& path : written) {
    if (Status s = files_.syncFile(path); !s.ok() && result.flush_error.empty()) {
      result.flush_error = s.message();
    }
  }
  if (!written.empty()) {
    if (Status s = files_.syncFolder(folder); !s.ok() && result.flush_error.empty()) {
      result.flush_error = s.message();
    }
  }
  if (network_ != nullptr) files_.removeFile(data_directory_ + kFillMbfName);
  lock_.words().abort.store(0);
  const bool plain_end = (result.end == FillEnd::kBudgetUsed || result.end == FillEnd::kStopped ||
                          result.end == FillEnd::kCopyFailed) &&
                         result.renamed == 0;
  report_.setTitle(plain_end && result.flush_error.empty()
                       ? std::string(kFillerTitle)
                       : std::string(kFillerTitle) + ": " +
                             (result.flush_error.empty() ? fillSummary(result)
                                                         : "not flushed: " + result.flush_error));
  return result;
}

}  // namespace tunora::filler
