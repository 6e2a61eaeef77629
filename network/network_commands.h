// The effects of Network mode's menu commands, and which of them the menu shows. The window
// builds its menu from networkMenu() and calls the function of the item chosen.
#pragma once

#include <string>
#include <vector>

#include "engine/shared_words.h"
#include "engine/status_message.h"
#include "engine/update_queue.h"
#include "engine/update_writer.h"
#include "network/network_context.h"

namespace tunora::network {

inline constexpr char kRefreshCacheItem[] = "Refresh Network Cache";
inline constexpr char kLockOfflineItem[] = "Lock Offline mode";
inline constexpr char kSetOfflineItem[] = "Set Offline mode";
inline constexpr char kUnsetOfflineItem[] = "Un-Set Offline mode";
inline constexpr char kWriteCachedEditsItem[] = "Write cached edits";

// Offline: the build-request word from 1000 to 1999 (counting back, or locked at 1999).
inline bool isOffline(const engine::SharedWords& words) {
  const int32_t word = words.build_request.load();
  return word >= engine::kOfflineStart && word <= engine::kOfflineLocked;
}

// "Refresh Network Cache": the next read-open refreshes the local copy.
void refreshNetworkCache(NetworkContext& context);
// "Lock Offline mode": locked offline (1999), or back online (0) when it was locked.
void lockOfflineMode(engine::SharedWords& words, engine::StatusMessage& status);
// "Set Offline mode": offline and counting (1000).
void setOfflineMode(engine::SharedWords& words, engine::StatusMessage& status);
// "Un-Set Offline mode": online (0).
void unsetOfflineMode(engine::SharedWords& words, engine::StatusMessage& status);
// "Write cached edits": starts the update writer when online, idle and updates wait. True when
// it was started.
bool writeCachedEdits(const engine::SharedWords& words, engine::UpdateWriter& writer,
                      const engine::UpdateQueue& queue);

struct NetworkMenuItem {
  std::string text;
  bool checked = false;
};
// The items shown now (Network mode only), in menu order.
std::vector<NetworkMenuItem> networkMenu(const engine::SharedWords& words,
                                         const engine::UpdateWriter& writer,
                                         const engine::UpdateQueue& queue);

}  // namespace tunora::network
