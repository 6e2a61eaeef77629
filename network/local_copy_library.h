// Network mode's library opening: the song table lies on a share (`DatabasePath`) and the
// program works on a local copy of it. Reads go to the copy, refreshed from the share when the
// change counter is above 50; an edit refreshes the copy, holds the network lock on the share's
// file, edits the copy and writes it back. When the share cannot be reached the program goes
// offline (build-request word 1000..1999) and works from the copy.
//
// Two things keep the traffic on the share down without changing any result:
// - a refresh is skipped when neither file changed since they were last made equal (same size,
//   modification and change time and identity of both). After its own write-back the program
//   gives the share's file a modification time of its own choosing, so a later write elsewhere
//   shows even within one tick of the file-system clock; a stamp read from a file that another
//   computer wrote in the last two seconds is not trusted;
// - a write-back sends only the 64 KB blocks the edit changed, when the share's file is still
//   as the refresh left it; otherwise it copies the whole file.
//
// Called only by the thread that holds the shared lock's grant. The change counter lives in the
// NetworkContext (start-up sets it to 200) and is changed atomically, so any thread may mark the
// copy stale.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/shared_words.h"
#include "marlbase/table_handle.h"
#include "network/copy_verified.h"
#include "network/library_opening.h"
#include "network/network_context.h"
#include "network/network_texts.h"
#include "network/share_files.h"
#include "platform/message_dialog.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora::network {

inline constexpr int32_t kRefreshAbove = 50;
inline constexpr int32_t kStaleCounter = 100;
inline constexpr int32_t kStartUpCounter = 200;
// A share's file modified less than this before a refresh read it may change again unseen.
inline constexpr int64_t kRacyWindowNs = 2'000'000'000;

// The local copy's change counter (NetworkContext::network_refresh_counter), read and set
// atomically.
int32_t changeCounter(NetworkContext& context);
void setChangeCounter(NetworkContext& context, int32_t value);

class LocalCopyLibrary final : public NetworkLibrary {
 public:
  LocalCopyLibrary(marlbase::TableHandle& table, const Settings& settings, NetworkContext& context,
                   engine::SharedWords& words, ui::MessageDialog& dialogs, FileCopier& copier,
                   Env& env = Env::Default())
      : table_(table),
        settings_(settings),
        context_(context),
        words_(words),
        dialogs_(dialogs),
        copier_(copier),
        env_(env) {}
  ~LocalCopyLibrary() override { releaseNetworkLock(); }

  void openLibraryForReading() override;
  bool openLibraryForWriting() override;
  void closeLibraryAfterWriting() override;

  // Off: every refresh copies and every write-back copies the whole file (the plain algorithm,
  // for comparisons). On by default.
  void setQuickPaths(bool on) { quick_paths_ = on; }
  // Bytes read from and written to the share's file since construction.
  CopyTraffic shareTraffic() const { return share_traffic_; }
  bool holdsNetworkLock() const { return lock_fd_ >= 0; }

 private:
  std::string networkPath() const { return settings_.text(settings::kDatabasePath); }
  const std::string& localPath() const { return context_.local_copy_path; }
  void goOffline() { words_.build_request.store(engine::kOfflineStart); }
  bool online() const { return words_.build_request.load() < engine::kOfflineStart; }
  // The numbered backup of the local copy before a timed refresh.
  void backUpLocalCopy();
  // copyVerified (network library, local copy, 5), or nothing when both are as last made equal.
  bool refresh();
  bool takeNetworkLock();
  void releaseNetworkLock();
  void writeBack();
  void markOurWrite();
  void noteInSync(bool we_wrote);
  bool inSync() const;
  CopyContext copyContext(CopyTraffic& traffic);
  void countShare(const CopyTraffic& traffic, bool share_is_source);

  marlbase::TableHandle& table_;
  const Settings& settings_;
  NetworkContext& context_;
  engine::SharedWords& words_;
  ui::MessageDialog& dialogs_;
  FileCopier& copier_;
  Env& env_;
  bool quick_paths_ = true;
  uint64_t mark_ = 0x2545F4914F6CDD1DULL;  // xorshift state for markOurWrite

  int lock_fd_ = -1;  // the network lock: the share's file held with an exclusive lock
  int32_t last_live_count_ = 0;
  CopyTraffic share_traffic_;

  // Both files as they were when last made equal, and the content hashes of that content.
  FileStamp network_at_sync_;
  FileStamp local_at_sync_;
  BlockHashes hashes_;
  // The numbered backup last written and the local copy as it was then.
  std::string last_backup_;
  FileStamp local_at_backup_;
};

}  // namespace tunora::network
