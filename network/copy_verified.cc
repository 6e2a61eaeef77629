// The verified copy.
#include "network/copy_verified.h"

namespace tunora::network {

bool copyVerified(const std::string& source, const std::string& destination, int32_t mode,
                  CopyContext& context) {
  const int64_t source_size = openableSize(source);
  if (source_size < 0) return false;
  if (source_size == 0) {
    if (mode >= 100 && ui::ask(context.dialogs, kDamagedNetworkText, kReplaceWithLocalText,
                               kDoNothingText) == ui::kFirstButton) {
      (void)context.copier.copyFile(destination, source, context.traffic, nullptr);
    }
    return false;
  }
  int64_t destination_size = openableSize(destination);
  if (destination_size < 0) destination_size = source_size;
  if (destination_size != source_size && context.size_check &&
      ui::ask(context.dialogs, kSizeDiffersText, kUseNetworkText, kUseLocalText) !=
          ui::kFirstButton) {
    return false;
  }
  const std::string backup = destination + kBackupSuffix;
  if (mode < 100) (void)context.copier.copyFile(destination, backup, context.traffic, nullptr);

  bool quick = static_cast<bool>(context.quick_attempt);
  for (int32_t attempt = 0; attempt < kCopyAttempts; ++attempt) {
    bool copied = false;
    if (quick) {
      copied = context.quick_attempt();
      quick = false;  // one quick attempt; the others copy the whole file
    }
    if (!copied) {
      (void)context.copier.copyFile(source, destination, context.traffic, context.hashes);
    }
    if (openableSize(destination) == source_size) return true;
    if (context.hashes != nullptr) *context.hashes = BlockHashes{};  // not the content now
  }
  if (mode < 100) (void)context.copier.copyFile(backup, destination, context.traffic, nullptr);
  return false;
}

}  // namespace tunora::network
