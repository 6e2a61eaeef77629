// The list builder on its own, for commands that build lists or fill folders from a terminal:
// the shared words and lock, the library opening over an open table handle, a play list and a
// status message, and a random source (seeded when the command line asks for repeatable
// picks). Nothing here starts a thread; the command runs the builder's passes itself.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/list_builder.h"
#include "engine/play_list.h"
#include "engine/random_source.h"
#include "engine/shared_lock.h"
#include "engine/shared_words.h"
#include "engine/status_message.h"
#include "marlbase/table_handle.h"
#include "network/library_opening.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora::cli {

struct TerminalBuilder {
  // A negative seed draws from the Env's random bytes.
  TerminalBuilder(marlbase::TableHandle& table, Settings& settings, Env& env, int64_t seed)
      : random(seed >= 0 ? std::unique_ptr<engine::RandomSource>(
                               new engine::SeededRandomSource(static_cast<uint64_t>(seed)))
                         : std::unique_ptr<engine::RandomSource>(new engine::EnvRandomSource(env))),
        lock(words, env),
        library(table, settings),
        builder(lock, library, settings, play_list, status, *random, env, hooks) {}

  std::unique_ptr<engine::RandomSource> random;
  engine::SharedWords words;
  engine::SharedLock lock;
  network::LibraryOpening library;
  engine::PlayList play_list;
  engine::StatusMessage status;
  engine::BuilderHooks hooks;
  engine::ListBuilder builder;
};

}  // namespace tunora::cli
