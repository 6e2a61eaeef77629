// Building a play list in Network mode from a 100,000-song library on a local folder standing in
// for the share: bytes read from and written to the share per pick, with the plain algorithm
// (whole copies both ways) and with the skipped refresh and block write-back.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "engine/list_builder.h"
#include "engine/lock_codes.h"
#include "engine/play_list.h"
#include "engine/random_source.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "network/library_opening.h"
#include "network/local_copy_library.h"
#include "network/network_context.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/temp_dir.h"
#include "util/env.h"

namespace tunora {
namespace {

constexpr int kLibrarySongs = 100'000;

const std::string& libraryImage(const testing::TempDir& dir) {
  static const std::string path = [&] {
    std::string p = dir.file("library.mbf");
    (void)testing::writeSongTable(p, testing::plainSongs(kLibrarySongs));
    return p;
  }();
  return path;
}

void buildList(benchmark::State& state, bool quick) {
  static testing::TempDir dir;
  const std::string& image = libraryImage(dir);
  const int picks = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::create_directories(dir.path() / "share");
    const std::string share = (dir.path() / "share" / "Tunora.mbf").string();
    std::filesystem::copy_file(image, share, std::filesystem::copy_options::overwrite_existing);
    Settings settings = testing::firstRunSettings();
    settings.set(settings::kNetwork, 1);
    settings.set(settings::kListSize, picks);
    settings.setText(settings::kDatabasePath, share);
    network::NetworkContext context;
    context.local_copy_path = dir.file("Local.mbf");
    context.network_refresh_counter = network::kStartUpCounter;
    engine::SharedWords words;
    engine::SharedLock lock(words, Env::Default());
    marlbase::TableHandle table;
    ui::FirstButtonMessageDialog dialogs;
    network::FileCopier copier;
    network::LocalCopyLibrary local(table, settings, context, words, dialogs, copier);
    local.setQuickPaths(quick);
    network::LibraryOpening library(table, settings);
    library.setNetworkLibrary(&local);
    engine::PlayList play_list;
    engine::StatusMessage status;
    engine::SeededRandomSource random(5);
    engine::BuilderHooks hooks;
    engine::ListBuilder builder(lock, library, settings, play_list, status, random, Env::Default(),
                                hooks);
    engine::Grant grant = lock.takeGrantDirectly(engine::kCodeListBuilder);
    library.openLibraryForReading();
    table.close();
    const network::CopyTraffic start = local.shareTraffic();
    state.ResumeTiming();
    words.build_request.store(engine::kBuildNow);
    while (play_list.size() < picks && words.build_request.load() < engine::kOfflineStart) {
      builder.runBuildPassHolding(grant);
    }
    state.PauseTiming();
    const network::CopyTraffic end = local.shareTraffic();
    state.counters["share_read_per_pick"] =
        static_cast<double>(end.read - start.read) / play_list.size();
    state.counters["share_written_per_pick"] =
        static_cast<double>(end.written - start.written) / play_list.size();
    state.counters["picks"] = play_list.size();
    state.ResumeTiming();
  }
}

void BM_PlainWholeCopies(benchmark::State& state) { buildList(state, false); }
void BM_SkippedRefreshAndBlockWriteBack(benchmark::State& state) { buildList(state, true); }

BENCHMARK(BM_PlainWholeCopies)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SkippedRefreshAndBlockWriteBack)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tunora

BENCHMARK_MAIN();
