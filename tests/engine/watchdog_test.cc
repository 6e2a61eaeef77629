// The watchdog's counts: which grants, requests and guards it frees, and which it must not.
#include "engine/watchdog.h"

#include <gtest/gtest.h>

#include "engine/lock_codes.h"
#include "tests/support/fake_env.h"

namespace tunora::engine {
namespace {

using Kind = WatchdogEvent::Kind;

// From a fresh count, over `ticks` ticks: the tick at which something is forced free (0: none),
// what and whose, and the words left. A live holder keeps its grant however long it writes.
TEST(WatchdogTest, WhatIsForcedFreeAndWhen) {
  struct Case {
    const char* name;
    int32_t grant;
    bool live;
    int32_t request;
    int32_t guard;
    bool worker_idle;  // the checksum pass's stale-grant check
    int ticks;
    int tick;
    Kind kind;
    int32_t code;
    int32_t grant_after, request_after, guard_after;
  };
  const int32_t free_ = kGuardFree;
  const Case cases[] = {
      {"grant whose worker had left", kCodeDetailsLoader, false, 0, free_, false, 300, 101,
       Kind::kGrantCleared, kCodeDetailsLoader, 0, 0, free_},
      // RegressionLiveHolderKeepsItsGrant: only the request behind it is dropped; the 101 check
      // moves the counter on to 110, so the count passes 200 at tick 192.
      {"live holder", kCodeListBuilder, true, kCodeRemoveRow, free_, false, 1200, 192,
       Kind::kRequestDropped, kCodeRemoveRow, kCodeListBuilder, 0, free_},
      {"request nobody takes", 0, false, kCodeSaveAsPlaylist, free_, false, 300, 192,
       Kind::kRequestDropped, kCodeSaveAsPlaylist, 0, 0, free_},
      {"a quit is never dropped", kCodeListBuilder, true, kQuitRequested, free_, false, 1000, 0,
       Kind::kNone, 0, kCodeListBuilder, kQuitRequested, free_},
      {"stale grant, pass idle", kCodeChecksumPass, false, 0, free_, true, 30, 25,
       Kind::kStaleGrantCleared, kCodeChecksumPass, 0, 0, free_},
      {"stale grant, pass running", kCodeChecksumPass, false, 0, free_, false, 25, 0, Kind::kNone,
       0, kCodeChecksumPass, 0, free_},
      {"stale check, live holder", kCodeChecksumPass, true, 0, free_, true, 30, 0, Kind::kNone, 0,
       kCodeChecksumPass, 0, free_},
      // Parked at 1000 at tick 25 until the count passes 2000, then counted from 26 to 101.
      {"import grant", kCodeImport, false, 0, free_, false, 2000, 1101, Kind::kGrantCleared,
       kCodeImport, 0, 0, free_},
      {"guard of a scope", 0, false, kCodeRemoveRow, kGuardTakenScoped, false, 150, 0, Kind::kNone,
       0, 0, kCodeRemoveRow, kGuardTakenScoped},
      {"guard left taken", 0, false, kCodeRemoveRow, kGuardTakenUnscoped, false, 150, 101,
       Kind::kGuardFreed, 0, 0, kCodeRemoveRow, free_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeEnv env;
    SharedWords words;
    StaleGrantChecks checks;
    checks.worker_idle[kCodeChecksumPass] = [&] { return c.worker_idle; };
    words.grant.store(c.grant);
    words.grant_holder_live.store(c.live ? 1 : 0);
    words.request.store(c.request);
    words.spin_guard.store(c.guard);
    int tick = 0, events = 0;
    WatchdogEvent event;
    for (int t = 1; t <= c.ticks; ++t) {
      const WatchdogEvent e = watchdogTick(words, env, checks);
      if (e.kind == Kind::kNone) continue;
      if (events++ == 0) {
        tick = t;
        event = e;
      }
    }
    EXPECT_EQ(tick, c.tick);
    EXPECT_EQ(events, c.kind == Kind::kNone ? 0 : 1) << "nothing more is freed later";
    EXPECT_EQ(event.kind, c.kind);
    if (c.kind != Kind::kGuardFreed) {
      EXPECT_EQ(event.code, c.code);
    }
    EXPECT_EQ(words.grant.load(), c.grant_after);
    EXPECT_EQ(words.request.load(), c.request_after);
    EXPECT_EQ(words.spin_guard.load(), c.guard_after);
  }
}

}  // namespace
}  // namespace tunora::engine
