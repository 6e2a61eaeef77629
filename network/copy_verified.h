// The verified copy between the network library and its local copy, in either direction.
//
// Mode 5 (below 100) is the refresh, network to local: the destination is first saved as
// destination + ".bak" and restored when no attempt gives the right size. Mode 105 (100 and
// above) is the write-back, local to network: an empty source asks whether the network file is
// to replace it instead.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "network/network_texts.h"
#include "network/share_files.h"
#include "platform/message_dialog.h"

namespace tunora::network {

inline constexpr int32_t kRefreshMode = 5;
inline constexpr int32_t kWriteBackMode = 105;
inline constexpr int32_t kCopyAttempts = 3;
inline constexpr char kBackupSuffix[] = ".bak";

struct CopyContext {
  FileCopier& copier;
  ui::MessageDialog& dialogs;
  // `SizeCheck`: ask before copying over a destination of another size.
  bool size_check = true;
  // Bytes moved by every copy made here, including backups.
  CopyTraffic& traffic;
  // Optional: one attempt of the copy in place of the whole-file copy (the write-back of only
  // the changed blocks). Called before each whole-file attempt until it has failed once.
  std::function<bool()> quick_attempt;
  // Filled with the destination's content hashes by each whole-file copy (emptied again when
  // the copy came out with the wrong size); left alone otherwise.
  BlockHashes* hashes = nullptr;
};

// True when the destination now has the size of the source. A source that cannot be opened, an
// empty source and the answer "Use the Local database" give false with nothing copied.
[[nodiscard]] bool copyVerified(const std::string& source, const std::string& destination,
                                int32_t mode, CopyContext& context);

}  // namespace tunora::network
