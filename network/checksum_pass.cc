// The background checksum pass.
#include "network/checksum_pass.h"

#include "engine/lock_codes.h"
#include "library/file_checksum.h"
#include "library/song_columns.h"
#include "network/local_copy_library.h"

namespace tunora::network {

namespace {
constexpr int32_t kPatience = 50;
}

void ChecksumPass::startChecksumPass() {
  if (running()) return;
  (void)threads_.start([this] { run(); });
}

bool ChecksumPass::quitting() const {
  const engine::SharedWords& words = lock_.words();
  const int32_t request = words.request.load();
  return words.stopping.load() != 0 || engine::isQuitCode(request);
}

bool ChecksumPass::online() const {
  return lock_.words().build_request.load() < engine::kOfflineStart;
}

void ChecksumPass::addToHashStat(int32_t delta) {
  (void)settings_.update(settings::kHashStat,
                         [delta](int32_t value) { return value + delta < 0 ? 0 : value + delta; });
}

uint32_t ChecksumPass::checksumOf(const std::string& path) const {
  if (networkMode() && local_path_of_) {
    const std::string local = local_path_of_(path);
    if (!local.empty()) {
      if (const uint32_t sum = fileChecksum(local); sum != 0) return sum;
    }
  }
  return fileChecksum(path);
}

bool ChecksumPass::checkSong(int32_t slot, const std::string& path) {
  uint32_t file_id = 0;
  std::string file_name = path;
  {
    engine::Grant grant = lock_.requestAndWait(engine::kCodeChecksumPass, 0, kPatience);
    if (!grant) return false;
    library_.openLibraryForReading();
    marlbase::TableHandle& table = library_.table();
    if (!table.isOpen()) return false;
    if (slot < 0) {
      table.setSearchKey(path);
      slot = table.findInColumn(kColFileName);
    }
    const auto id = slot >= 0 ? table.readInt(slot, kColFileId) : std::nullopt;
    if (slot >= 0 && file_name.empty()) file_name = table.readText(slot, kColFileName).value_or("");
    table.close();
    if (!id) return slot < 0;  // a path not in the library is done; a bad record is not
    file_id = *id;
  }  // the database is released before anything is computed
  if (file_id != 0) {
    addToHashStat(1);
    return true;
  }
  addToHashStat(-10);
  const uint32_t sum = checksumOf(file_name);
  if (sum != 0) (void)writer_.queueUpdate(slot, kColFileId, sum, 0, 0);
  return true;
}

void ChecksumPass::verifyPhase() {
  const int32_t bound = library_.table().liveCount();
  if (bound <= 0) return;
  do {
    const int32_t stat = hashStat();
    int32_t number = stat >= kVerifyBase ? stat - kVerifyBase + 1 : 0;
    if (number >= bound) number = 0;
    settings_.set(settings::kHashStat, kVerifyBase + number);
    std::string path;
    uint32_t stored = 0;
    {
      engine::Grant grant = lock_.requestAndWait(engine::kCodeChecksumPass, 0, kPatience);
      if (!grant) break;
      library_.openLibraryForReading();
      marlbase::TableHandle& table = library_.table();
      if (!table.isOpen()) break;
      path = table.readText(number, kColFileName).value_or("");
      stored = table.readInt(number, kColFileId).value_or(0);
      table.close();
    }
    if (!path.empty()) {
      const uint32_t sum = checksumOf(path);
      if (sum != stored) (void)writer_.queueUpdate(number, kColFileId, sum, stored, stored);
    }
  } while (engine::drawRandom(5, random_) != 3 && online() && !quitting() &&
           play_list_.size() >= 20);
}

void ChecksumPass::run() {
  const engine::SharedWords& words = lock_.words();
  if (words.grant.load() != 0 || play_list_.size() < 10) return;
  int32_t idle = 0;
  if (!running_.compare_exchange_strong(idle, 1)) return;
  status_.refresh();
  if (context_.fixed_user != kNoFixedUser) settings_.set(settings::kHashStat, kFixedUserHashStat);

  if (hashStat() < 51) {
    for (const engine::PlayListRow& row : play_list_.rows()) {
      if (words.build_request.load() > 999 || quitting()) break;
      (void)checkSong(-1, row[engine::kFileNameColumn]);
    }
    setChangeCounter(context_, kStaleCounter);
  }
  if (words.request.load() == 0 && !quitting()) {
    if (hashStat() < kVerifyBase && online()) {
      // One song is checked before the condition is tested, so that a statistic below 50 or
      // between 501 and 999 still moves (at 1000 the verification phase begins).
      int32_t stat = 0;
      do {
        const int32_t live = library_.table().liveCount();
        const int32_t slot = static_cast<int32_t>(
            engine::drawRandom(static_cast<uint32_t>(live > 1 ? live - 1 : 1), random_));
        if (!checkSong(slot, "")) addToHashStat(1);
        stat = hashStat();
      } while (stat >= 50 && stat <= 500 && online() && !quitting() && play_list_.size() >= 20);
    } else {
      verifyPhase();
    }
  }
  running_.store(0);
  status_.refresh();
}

}  // namespace tunora::network
