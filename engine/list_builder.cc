// Build passes, the pick's row in the play list, and the builder thread.
#include "engine/list_builder.h"

#include <algorithm>

#include "engine/alt_pattern.h"
#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "media/media_type.h"
#include "media/playlist_file.h"
#include "media/settings_adaptor.h"

namespace tunora::engine {

ListBuilder::ListBuilder(SharedLock& lock, LibraryAccess& library, Settings& settings,
                         PlayList& play_list, StatusMessage& status, RandomSource& random, Env& env,
                         BuilderHooks& hooks)
    : lock_(lock),
      words_(lock.words()),
      library_(library),
      settings_(settings),
      play_list_(play_list),
      status_(status),
      random_(random),
      env_(env),
      hooks_(hooks) {}

void ListBuilder::runBuildPass() {
  // The table "as last opened" must hold enough songs; nothing changes otherwise.
  if (!enoughSongsToBuild(library_.table().liveCount())) return;
  int32_t free = 0;
  if (!busy_.compare_exchange_strong(free, 1)) return;
  {
    Grant grant = lock_.requestAndWait(kCodeListBuilder, 0, 10);
    if (grant) passUnderGrant();
  }  // the grant is released here on every path
  busy_.store(0);
}

void ListBuilder::runBuildPassHolding(const Grant& grant) {
  if (!grant || !enoughSongsToBuild(library_.table().liveCount())) return;
  int32_t free = 0;
  if (!busy_.compare_exchange_strong(free, 1)) return;
  passUnderGrant();
  busy_.store(0);
}

void ListBuilder::passUnderGrant() {
  message_flag_.store(0);
  words_.abort.store(0);
  const DrawRules rules = DrawRules::forCurrentState(settings_, memory_.miss_count);
  words_.build_request.store(1);
  status_.refresh();

  if (settings_.text(settings::kDatabasePath).empty()) {
    message_flag_.store(1);
    status_.setText(kNoFileSelectedText);
    words_.build_request.store(kBuildNow);
    status_.refresh();
    return;
  }
  const bool opened = library_.openLibraryForWriting();
  if (!opened || library_.table().liveCount() == 0) {
    if (opened) library_.closeLibraryAfterWriting();
    message_flag_.store(1);
    if (settings_.get(settings::kNetwork) != 0) {
      words_.build_request.store(kOfflineStart);
      if (settings_.get(settings::kShutdown) != 0 && settings_.get(settings::kAutoBuild) != 0 &&
          words_.playing.load() == 0) {
        hooks_.startShutdownAfterBuild();
      }
    } else {
      status_.setText(kCannotOpenListText);
      words_.build_request.store(kBuildNow);
    }
    busy_.store(2);
    status_.refresh();
    return;
  }

  (void)drawUntilPick(rules);

  if (words_.abort.load() != 0) {
    words_.build_request.store(kBuildIdle);
    status_.refresh();
  } else if (words_.build_request.load() == kBuildIdle) {
    status_.refresh();
  } else if (!filler_pick_mode_) {
    words_.build_request.store(kBuildNow);
    status_.refresh();
    ++memory_.miss_count;
  }
  library_.closeLibraryAfterWriting();
}

bool ListBuilder::drawUntilPick(const DrawRules& rules) {
  marlbase::TableHandle& table = library_.table();
  const uint64_t t0 = env_.nowMillis();
  int64_t attempts = 0;
  // The draws are one pass over the table: its size is not checked at every field read.
  const marlbase::TableHandle::Pass pass(table);
  while (words_.request.load() == 0 && words_.abort.load() == 0 &&
         words_.build_request.load() != kBuildIdle) {
    int32_t slot = -1;
    const DrawOutcome outcome = drawOnce(table, settings_, memory_, rules, random_, &slot);
    if (table.changedOnDisk()) {
      // Nothing more is written into the file; the next pass opens it as it now is.
      message_flag_.store(1);
      status_.setText(kLibraryChangedText);
      return false;
    }
    if (outcome == DrawOutcome::kPicked) {
      const uint64_t elapsed = env_.nowMillis() - t0;
      // Bounded at kMaxBuildTime: see list_builder.h.
      (void)settings_.update(settings::kBuildTime, [elapsed](int32_t build_time) {
        if (elapsed > 30000 && build_time > 100) return std::min(build_time, kMaxBuildTime) - 100;
        return elapsed < 3000 ? std::min(build_time, kMaxBuildTime - 100) + 100 : build_time;
      });
      memory_.miss_count = 0;
      pick_balance_.store(memory_.pick_balance);
      if (filler_pick_mode_) {
        words_.build_request.store(2);
      } else {
        addPickToPlayList();
      }
      return true;
    }
    if (attempts > std::min(settings_.get(settings::kBuildTime), kMaxBuildTime)) {
      message_flag_.store(1);
      status_.setText(kDeepBuildingText);
      return false;
    }
    // No pause between draws: the loop looks at the request word before every draw, so a thread
    // that wants the database is seen at once, and giving up the processor after each failed draw
    // would hand it to any busy process on the machine for a whole time slice.
    ++attempts;
  }
  return false;
}

void ListBuilder::addPickToPlayList() {
  int32_t free = 0;
  if (!append_busy_.compare_exchange_strong(free, 1)) return;
  ++memory_.miss_count;
  message_flag_.store(0);

  marlbase::TableHandle& table = library_.table();
  const int32_t slot = settings_.get(settings::kSongHistory, 0);
  const std::string& path = memory_.last_picked_path;
  const uint32_t code = media::classifyMediaFile(path, media::mediaSwitchesOf(settings_));
  play_list_.append({table.readText(slot, kColTitle).value_or(""),
                     table.readText(slot, kColArtist).value_or(""),
                     table.readText(slot, kColAlbum).value_or(""), path,
                     std::string(media::mediaClassText(code))});
  memory_.last_added_path = path;

  if (play_list_.size() >= settings_.get(settings::kListSize)) {
    if (!data_directory_.empty()) {
      std::vector<std::string> paths;
      for (const PlayListRow& row : play_list_.rows()) paths.push_back(row[kFileNameColumn]);
      const int32_t state = settings_.get(settings::kCurrentState);
      (void)media::writePlayList(media::playListFileName(data_directory_, state), paths);
    }
    words_.build_request.store(kBuildIdle);
    if (hooks_.bufferingOn()) {
      hooks_.resetBufferLevel();
    } else if (settings_.get(settings::kShutdown) != 0 &&
               settings_.get(settings::kAutoBuild) != 0 && words_.playing.load() == 0) {
      hooks_.startShutdownAfterBuild();
    }
  } else {
    memory_.miss_count = 0;
    words_.build_request.store(1);
  }
  if (settings_.stateValue(settings::kStateAltMode) != 0) {
    advanceAltPattern(settings_, memory_.pattern_position);
  }
  append_busy_.store(0);
}

bool ListBuilder::quitting() const {
  const int32_t request = words_.request.load();
  return words_.stopping.load() != 0 || request == kQuitInProgress || request == kQuitFinal;
}

// Sleeps in steps of at most 100 ms so a quit is seen promptly.
void ListBuilder::sleepChecking(int32_t millis) {
  while (millis > 0 && !quitting()) {
    const int32_t step = millis < 100 ? millis : 100;
    env_.sleepFor(std::chrono::milliseconds(step));
    millis -= step;
  }
}

void ListBuilder::runThread() {
  while (!quitting()) {
    stage_.store(0);
    const int32_t request = words_.build_request.load();
    const int32_t prepared = play_list_.songsPrepared();
    if (request >= 1 && request <= 10) {
      if (request == 1 || request == kBuildNow) {
        stage_.store(10);
        runBuildPass();
      }
    } else if (hooks_.bufferPassWanted(prepared)) {
      stage_.store(20);
      hooks_.runBufferPass();
    } else if (hooks_.updateWriterWanted() && request < kOfflineStart) {
      stage_.store(30);
      hooks_.runUpdateWriter();
    } else if (prepared < 10 && (request == kBuildIdle || request > kOfflineStart)) {
      words_.build_request.store(kBuildNow);
    } else if (prepared > 20 && request < 11 && hooks_.checksumPassWanted()) {
      stage_.store(40);
      hooks_.startChecksumPass();
    } else {
      stage_.store(90);
      sleepChecking(10000);
    }
    stage_.store(91);
    sleepChecking(500);
    stage_.store(92);
  }
  stage_.store(100);
}

}  // namespace tunora::engine
