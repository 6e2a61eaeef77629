// The quick-link list builder.
#include "ui/quick_link_builder.h"

#include <algorithm>
#include <string>

#include "engine/lock_codes.h"
#include "engine/song_draw.h"
#include "library/song_columns.h"
#include "ui/command_numbers.h"
#include "ui/quick_link_search.h"

namespace tunora::ui {

namespace {
constexpr int32_t kGrantPatience = 10;
constexpr int32_t kRepaintTop = 30;
constexpr int32_t kRepaintBelowMiddle = 100;
}  // namespace

const char* quickLinkHeader(int32_t kind) {
  switch (kind) {
    case kViewAlbum:
      return "Other songs from this album";
    case kViewArtist:
      return "Other songs from the same artist";
    case kViewName:
      return "Other songs with same name";
    case kViewComment:
      return "Other songs with same comment";
    case kViewDiagnostics:
      return "Diagnostics";
    default:
      return nullptr;
  }
}

Rect quickLinkRepaintArea(int32_t width, int32_t height, int32_t lower_left_view) {
  const bool lower_left = lower_left_view >= kViewAlbum;
  const int32_t left = lower_left ? 0 : width / 2;
  const int32_t right = lower_left ? width / 2 : width;
  const int32_t bottom = height / 2 + kRepaintBelowMiddle;
  return Rect{left, kRepaintTop, std::max(0, right - left), std::max(0, bottom - kRepaintTop)};
}

bool QuickLinkBuilder::wanted() const {
  return p_.lock.words().playing.load() != 0 && !p_.window.quick_links.loaded() && !busy() &&
         (isListView(p_.settings.get(settings::kLowerLeftView)) ||
          isListView(p_.settings.get(settings::kUpperRightView)));
}

void QuickLinkBuilder::run() {
  engine::SharedWords& words = p_.lock.words();
  if (words.grant.load() != 0) return;
  if (busy_.exchange(1) != 0) return;
  engine::Grant grant = p_.lock.requestAndWait(engine::kCodeQuickLinks, 0, kGrantPatience);
  if (grant) build(p_.window.quick_links.generation());
  grant.release();
  busy_.store(0);
}

void QuickLinkBuilder::publish(uint64_t generation, QuickLinkList list) {
  if (!p_.window.quick_links.publish(generation, std::move(list))) return;
  if (p_.repaint) {
    p_.repaint(quickLinkRepaintArea(p_.window.client_width.load(), p_.window.client_height.load(),
                                    p_.settings.get(settings::kLowerLeftView)));
  }
}

void QuickLinkBuilder::build(uint64_t generation) {
  const int32_t kind = quickLinkKind(p_.settings.get(settings::kUpperRightView),
                                     p_.settings.get(settings::kLowerLeftView));
  QuickLinkList list;
  const char* header = quickLinkHeader(kind);
  if (header == nullptr) {
    list.header = kQuickLinkFiller;
    list.entries.assign(kQuickLinkMaxEntries, QuickLinkEntry{kQuickLinkFiller, -1});
    publish(generation, std::move(list));
    return;
  }
  list.header = header;
  if (kind == kViewDiagnostics) {
    // One line that stands for no record: a click on it plays nothing.
    list.entries.push_back({p_.player.playPath(), -1});
    publish(generation, std::move(list));
    return;
  }

  const player::SongDetails song = p_.player.current();
  std::string key;
  int32_t column = 0;
  switch (kind) {
    case kViewAlbum:
      key = song.album;
      column = kColAlbum;
      break;
    case kViewArtist:
      key = song.artist;
      column = kColArtist;
      break;
    case kViewName:
      key = song.title;
      column = kColTitle;
      break;
    default:
      key = song.note;
      column = kColNote;
      break;
  }
  if (key.empty()) {
    publish(generation, std::move(list));
    return;
  }
  p_.library.openLibraryForReading();
  marlbase::TableHandle& table = p_.library.table();
  if (!table.isOpen()) {
    publish(generation, std::move(list));
    return;
  }
  QuickLinkOptions options;
  options.user = p_.settings.stateValue(settings::kStateUser);
  options.playing_slot = song.slot;
  options.thresholds = engine::ratingThresholdsOf(p_.settings);
  options.show_rate = p_.settings.get(settings::kShowRate) != 0;
  options.mark_video = p_.settings.get(settings::kMarkVid) != 0;
  QuickLinkSearch found = searchRelated(table, column, key, options, p_.lock.words().request,
                                        [&](const std::vector<QuickLinkEntry>& entries) {
                                          publish(generation, QuickLinkList{list.header, entries});
                                        });
  table.close();
  list.entries = std::move(found.entries);
  publish(generation, std::move(list));
}

}  // namespace tunora::ui
