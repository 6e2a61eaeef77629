// The 32-bit words through which the program's threads talk: the shared lock's words, the
// build-request word, the player request word and the flags that several threads poll. The
// program object owns one SharedWords; every thread gets a reference to it.
//
// Every word is atomic. Plain loads and stores are relaxed only where a word is a hint (the
// counters); the lock words are read and changed with sequentially consistent operations, and
// the request and grant words change together only under the spin guard.
#pragma once

#include <atomic>
#include <cstdint>

namespace tunora::engine {

// Values of the spin guard.
inline constexpr int32_t kGuardFree = 0;
// Taken by a taker that does not mark its liveness (a plain write of 1): the watchdog may free it
// when it stays taken for about 100 ticks.
inline constexpr int32_t kGuardTakenUnscoped = 1;
// Taken by a SpinGuardScope: its taker runs a few instructions and releases it on every path,
// so the watchdog never frees it.
inline constexpr int32_t kGuardTakenScoped = 2;

// Build-request word values (the list builder's, which doubles as the offline state).
inline constexpr int32_t kBuildIdle = 0;
inline constexpr int32_t kBuildNow = 10;
inline constexpr int32_t kOfflineStart = 1000;
inline constexpr int32_t kOfflineLastCount = 1600;
inline constexpr int32_t kOfflineLocked = 1999;

struct SharedWords {
  // ---- The shared lock ----
  // 0 free; else the code of the one waiting request, or a quit code.
  std::atomic<int32_t> request{0};
  // The number posted with the request (a row index or a row count).
  std::atomic<int32_t> request_parameter{0};
  // 0 free; else the code of the holder.
  std::atomic<int32_t> grant{0};
  // The liveness mark of the grant: 1 while a live holder has claimed it (and will release it on
  // every path), 0 while the grant has no holder yet or its holder has ended. Changed together
  // with the grant word, under the spin guard.
  std::atomic<int32_t> grant_holder_live{0};
  // kGuardFree, kGuardTakenUnscoped or kGuardTakenScoped.
  std::atomic<int32_t> spin_guard{kGuardFree};
  // 1 while a request executor runs.
  std::atomic<int32_t> executor_busy{0};
  // Threads inside postRequest.
  std::atomic<int32_t> waiter_count{0};
  // The request code that releaseRequest cleared last.
  std::atomic<int32_t> last_released{0};
  // Supervisor ticks during which the lock was not free.
  std::atomic<int32_t> watchdog_counter{0};

  // ---- Other words ----
  // The list builder's request word and the offline state (kBuild*, kOffline*).
  std::atomic<int32_t> build_request{0};
  // The player's request word: 1 play, 2 pause, 3 stop, 4 skip, 5 seek, 6 resize, 7 back to the
  // start, 8 play the last song again.
  std::atomic<int32_t> player_request{0};
  // 1 while the player plays (written by the player).
  std::atomic<int32_t> playing{0};
  // Set to stop a running build, import or fill.
  std::atomic<int32_t> abort{0};
  // Set when a worker met an error the status bar is to show.
  std::atomic<int32_t> error{0};
  // The key-digit windows of the main window: counted down once per supervisor tick.
  std::atomic<int32_t> user_digit_counter{0};
  std::atomic<int32_t> alt_digit_counter{0};
  // The "Test Functions" flag: diagnostic messages from the watchdog.
  std::atomic<int32_t> test_functions{0};
  // 1 while the song library's file was found missing at the last lookup of a song (its
  // folder moved or the file deleted); the status bar says so instead of the last count.
  std::atomic<int32_t> library_missing{0};
  // 1 when the data folder takes no files (read-only): settings, play lists and ratings are not
  // saved, and the status bar says so.
  std::atomic<int32_t> data_read_only{0};

  // Set when the program object is being destroyed: every wait of the lock gives up and every
  // loop of the program's threads ends.
  std::atomic<int32_t> stopping{0};
};

// A build waiting for its turn (1 .. 999) is asked to run now; idle and the offline states
// (the user's choice) are left as they are.
inline void hurryWaitingBuild(std::atomic<int32_t>& build_request) {
  int32_t build = build_request.load();
  while (build > kBuildIdle && build < kOfflineStart && build != kBuildNow &&
         !build_request.compare_exchange_weak(build, kBuildNow)) {
  }
}

}  // namespace tunora::engine
