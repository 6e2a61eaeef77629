// The shared lock that every piece of database work goes through. A request is posted into the
// request word; the request executor turns it into a grant; the holder does its work and
// releases the grant. Only a grant's holder may have the song table open.
//
// A grant is held through a Grant object, which releases it on every path. Its holder marks the
// grant live while it holds it (SharedWords::grant_holder_live), so the watchdog never frees a
// grant whose holder is still at work.
//
// All waits go through the Env: the spin guard in 1 ms steps, postRequest in steps of
// patience x 8 ms, requestAndWait in 100 ms steps. Every method may be called from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

#include "engine/shared_words.h"
#include "util/env.h"

namespace tunora::engine {

class SharedLock;

// How long the window's kept request may wait for the request word: as long as a poster of
// patience 10 would wait (20 sleeps of 80 ms) before giving up.
inline constexpr std::chrono::milliseconds kDeferredPatience{1600};

// A held grant (or none). Move-only; releases the grant when it goes out of scope.
class Grant {
 public:
  Grant() = default;
  ~Grant() { release(); }
  Grant(Grant&& other) noexcept : lock_(other.lock_), code_(other.code_) { other.code_ = 0; }
  Grant& operator=(Grant&& other) noexcept;
  Grant(const Grant&) = delete;
  Grant& operator=(const Grant&) = delete;

  explicit operator bool() const { return code_ != 0; }
  // The code held; 0 when none.
  int32_t code() const { return code_; }
  // Releasing a grant: under the spin guard, when the grant word still holds this code it is
  // set to 0 and the liveness mark cleared. Harmless when nothing is held.
  void release();

 private:
  friend class SharedLock;
  Grant(SharedLock* lock, int32_t code) : lock_(lock), code_(code) {}

  SharedLock* lock_ = nullptr;
  int32_t code_ = 0;
};

// What the request executor took out of the request word.
struct Handover {
  int32_t code = 0;  // 0 when nothing was handed over
  int32_t parameter = 0;
  // Held for executor codes (the executor is the holder); empty for worker codes, whose waiting
  // worker claims the grant itself.
  Grant grant;
};

class SharedLock {
 public:
  SharedLock(SharedWords& words, Env& env) : words_(words), env_(env) {}

  // Posts a request without waiting for the grant. 1 when posted (or already posted with this
  // code), -1 when refused: a quit is under way, this code is granted already, or the request
  // word stayed taken (patience 5 or more gives up after one attempt; less tries again until it
  // gets in, a quit begins or the program stops). Code 66 takes the request word over from any
  // other request.
  int32_t postRequest(int32_t code, int32_t parameter, int32_t patience);

  // Posts a request only when the request word is free now (or already holds this code); never
  // waits beyond the spin guard's few 1 ms steps. For the window thread, which must not wait:
  // a command that finds the lock busy is dropped and the user may repeat it. 1 when posted,
  // -1 when refused.
  int32_t tryPostRequest(int32_t code, int32_t parameter);

  // The window's requests: as tryPostRequest, but a request that finds the lock busy (another
  // request waiting, its own code granted, the spin guard taken) is kept instead of dropped, so
  // a click that comes while a worker's request waits is not lost. One is kept at a time (a
  // later one replaces it); the supervisor posts it on a tick when the request word is free
  // (postDeferred) and drops it once it is kDeferredPatience old or a quit begins. Never waits
  // beyond tryPostRequest's few guard steps. 1 posted, 0 kept, -1 refused (stopping, a quit
  // under way).
  int32_t postOrDefer(int32_t code, int32_t parameter);
  // The supervisor's tick: posts the kept request when the request word is free.
  void postDeferred();
  // Whether a request is kept.
  bool hasDeferred() const;

  // Posts a worker's request and waits until the executor hands it the grant. An empty Grant
  // when the request could not be posted, was taken over by another, was dropped, or (patience
  // above 4) was not granted within 50 waits of 100 ms. With patience above 10 and the lock busy,
  // first sleeps (patience - 10) seconds. A request given up is withdrawn from the request word.
  Grant requestAndWait(int32_t code, int32_t parameter, int32_t patience);

  // Clears the request word, remembering the code it held as the last released code.
  void releaseRequest();

  // The request executor's handover: under the spin guard, when nothing is granted and a request
  // other than a quit code waits, moves it into the grant word and clears the request word.
  Handover handOver();

  // Takes the grant without a request, when it is free (the media filler's preset code 34, the
  // update writer during the quit, when the executor no longer runs). Empty when it is taken.
  Grant takeGrantDirectly(int32_t code);

  SharedWords& words() { return words_; }
  Env& env() { return env_; }

 private:
  friend class Grant;
  // Under the spin guard: when the grant word holds `code` and no live holder claimed it, marks
  // it live. With `withdraw`, a request of `code` still waiting is taken out of the request word.
  bool claimGrant(int32_t code, bool withdraw);
  void releaseGrant(int32_t code);

  SharedWords& words_;
  Env& env_;
  // The window's kept request (postOrDefer); code 0 when none.
  struct Deferred {
    int32_t code = 0;
    int32_t parameter = 0;
    uint64_t until = 0;  // Env time after which it is dropped
  };
  mutable std::mutex deferred_mu_;
  Deferred deferred_;  // guarded by deferred_mu_
};

}  // namespace tunora::engine
