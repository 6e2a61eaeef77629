// The cover loader.
#include "ui/cover_loader.h"

#include "ui/paint_list.h"

namespace tunora::ui {

namespace {
constexpr uint32_t kFirstVideoType = 16;
}  // namespace

bool CoverLoader::wanted() const {
  const CoverFlags& cover = p_.window.cover;
  return p_.words.playing.load() != 0 && p_.settings.get(settings::kCoverArt) != 0 &&
         p_.player.media_type.load() < kFirstVideoType && cover.ready.load() == 0 &&
         cover.busy.load() == 0 && cover.failures.load() < kCoverFailureLimit &&
         cover.lookup_done.load() == 0;
}

void CoverLoader::run() {
  CoverFlags& cover = p_.window.cover;
  if (cover.busy.exchange(1) != 0) return;
  // The database is not needed here, so whoever holds it does not hold the cover back.
  if (p_.player.media_type.load() >= kFirstVideoType || p_.settings.get(settings::kCoverArt) == 0) {
    cover.busy.store(0);
    return;
  }
  engine::hurryWaitingBuild(p_.words.build_request);
  cover.ready.store(0);
  p_.decoder.release();

  CoverQuery query;
  query.song_path = p_.player.playPath();
  query.media_type = p_.player.media_type.load();
  query.data_directory = p_.data_directory;
  query.program_directory = p_.program_directory;
  const CoverSearch search = searchCover(query, p_.random);
  cover.cover_found.store(search.cover ? 1 : 0);
  cover.disc_found.store(search.disc ? 1 : 0);

  const std::optional<CoverSource> source =
      chooseCover(search, p_.settings.get(settings::kUpperRightView));
  if (!source) {
    // No picture anywhere: the view stays empty, quietly, until the next song.
    cover.lookup_done.store(1);
    cover.busy.store(0);
    return;
  }
  PictureDecoder::Size size;
  for (int32_t attempt = 0; attempt < kCoverLoadTries; ++attempt) {
    size = p_.decoder.load(*source);
    if (size.width > 0 && size.height > 0) break;
  }
  if (size.width > 0 && size.height > 0) {
    cover.width.store(size.width);
    cover.height.store(size.height);
    cover.lookup_done.store(1);
    cover.ready.store(1);
    cover.busy.store(0);
    if (p_.repaint) {
      p_.repaint(coverRepaintArea(p_.window.client_width.load(), p_.window.client_height.load()));
    }
    return;
  }
  fail();
  cover.busy.store(0);
}

void CoverLoader::fail() {
  CoverFlags& cover = p_.window.cover;
  cover.ready.store(0);
  p_.decoder.release();
  if (cover.failures.fetch_add(1) + 1 >= kCoverFailureLimit) {
    cover.lookup_done.store(1);
    p_.words.error.store(1);
    p_.status.setText(kCoverMemoryMessage);
    p_.status.refresh();
  }
}

}  // namespace tunora::ui
