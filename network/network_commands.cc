// Network mode's menu commands.
#include "network/network_commands.h"

#include "network/local_copy_library.h"

namespace tunora::network {

void refreshNetworkCache(NetworkContext& context) { setChangeCounter(context, kStaleCounter); }

void lockOfflineMode(engine::SharedWords& words, engine::StatusMessage& status) {
  int32_t word = words.build_request.load();
  while (!words.build_request.compare_exchange_weak(
      word, word == engine::kOfflineLocked ? engine::kBuildIdle : engine::kOfflineLocked)) {
  }
  status.refresh();
}

void setOfflineMode(engine::SharedWords& words, engine::StatusMessage& status) {
  words.build_request.store(engine::kOfflineStart);
  status.refresh();
}

void unsetOfflineMode(engine::SharedWords& words, engine::StatusMessage& status) {
  words.build_request.store(engine::kBuildIdle);
  status.refresh();
}

namespace {
bool cachedEditsWritable(const engine::SharedWords& words, const engine::UpdateWriter& writer,
                         const engine::UpdateQueue& queue) {
  return words.build_request.load() < engine::kOfflineStart && !writer.running() &&
         queue.length() > 0;
}
}  // namespace

bool writeCachedEdits(const engine::SharedWords& words, engine::UpdateWriter& writer,
                      const engine::UpdateQueue& queue) {
  if (!cachedEditsWritable(words, writer, queue)) return false;
  return writer.startWriterThread();
}

std::vector<NetworkMenuItem> networkMenu(const engine::SharedWords& words,
                                         const engine::UpdateWriter& writer,
                                         const engine::UpdateQueue& queue) {
  const int32_t word = words.build_request.load();
  std::vector<NetworkMenuItem> items;
  items.push_back({kRefreshCacheItem, false});
  items.push_back({kLockOfflineItem, word == engine::kOfflineLocked});
  if (word < engine::kOfflineStart) items.push_back({kSetOfflineItem, false});
  if (word >= engine::kOfflineStart && word < engine::kOfflineLocked) {
    items.push_back({kUnsetOfflineItem, false});
  }
  if (cachedEditsWritable(words, writer, queue)) items.push_back({kWriteCachedEditsItem, false});
  return items;
}

}  // namespace tunora::network
