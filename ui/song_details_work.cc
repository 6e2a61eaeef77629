// The Song details dialog's database work.
#include "ui/song_details_work.h"

#include <algorithm>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "media/media_type.h"
#include "media/record_fields.h"
#include "media/settings_adaptor.h"
#include "media/song_fill.h"
#include "settings/fixed_user.h"

namespace tunora::ui {

namespace {

using maintenance::DetailsState;

constexpr int32_t kGrantPatience = 10;
constexpr int32_t kHashStatDrop = 10;

bool writingStep(const DetailsRequest& request) {
  return request.delete_record || request.state == DetailsState::kSaveAndClose ||
         request.state == DetailsState::kSave || request.state == DetailsState::kReloadTags;
}

RatingThresholds thresholdsOf(const Settings& settings) {
  RatingThresholds thresholds{};
  for (uint32_t k = 0; k < thresholds.size(); ++k) {
    thresholds[k] = static_cast<uint32_t>(settings.get(settings::kRatingValue, k));
  }
  return thresholds;
}

}  // namespace

DetailsOutcome detailsStepWithGrant(DetailsWorkParts& parts, const DetailsRequest& request) {
  DetailsOutcome out;
  out.granted = true;
  out.record = request.record;
  engine::SharedWords& words = parts.lock.words();
  const bool writing = writingStep(request);
  if (writing && words.build_request.load() >= engine::kOfflineStart) {
    out.offline = true;
    return out;
  }
  marlbase::TableHandle& table = parts.library.table();
  if (writing) {
    if (!parts.library.openLibraryForWriting()) {
      out.library_closed = true;
      return out;
    }
  } else {
    parts.library.openLibraryForReading();
    if (!table.isOpen()) {
      out.library_closed = true;
      return out;
    }
  }
  engine::hurryWaitingBuild(words.build_request);

  const RatingThresholds thresholds = thresholdsOf(parts.settings);
  int32_t r = request.record;
  std::string deleted_path;
  if (request.delete_record) {
    const maintenance::DeleteOutcome deleted = maintenance::deleteSong(table, r);
    deleted_path = deleted.deleted ? deleted.path : "";
    if (deleted.close_dialog) {
      out.close_dialog = true;
    } else if (deleted.show >= 0) {
      r = deleted.show;
    }
  } else {
    switch (request.state) {
      case DetailsState::kPrevious:
        r = maintenance::previousRecord(table, r);
        break;
      case DetailsState::kNext:
        r = maintenance::nextRecord(table, r);
        break;
      case DetailsState::kSave:
      case DetailsState::kSaveAndClose:
        out.saved = maintenance::saveFields(table, r, request.fields, thresholds,
                                            parts.fixed_user != kNoFixedUser);
        break;
      case DetailsState::kReloadTags: {
        const std::string path = table.readText(r, kColFileName).value_or("");
        (void)media::fillSongFromFile(path, table, r, /*names_only=*/false,
                                      media::tagOptionsOf(parts.settings));
        break;
      }
      case DetailsState::kFind:
      case DetailsState::kFindMore: {
        const int32_t from = request.state == DetailsState::kFind ? -1 : r;
        const std::optional<int32_t> hit = maintenance::findRecord(table, request.phrase, from);
        if (hit) {
          r = *hit;
        } else {
          out.no_match = true;
        }
        break;
      }
      default:
        break;
    }
  }
  out.record = r;
  if (!out.close_dialog && r >= 0 && static_cast<uint32_t>(r) < table.capacity()) {
    out.fields = maintenance::loadFields(table, r, thresholds);
    out.loaded = true;
    if (out.fields.file_id == 0) {
      (void)parts.settings.update(settings::kHashStat,
                                  [](int32_t value) { return std::max(0, value - kHashStatDrop); });
    }
  }
  out.live_count = table.liveCount();
  if (writing) {
    parts.library.closeLibraryAfterWriting();
  } else {
    table.close();
  }
  out.deleted_path = deleted_path;  // moved by runDetailsWork once the grant is released
  return out;
}

DetailsOutcome runDetailsWork(DetailsWorkParts& parts, const DetailsRequest& request,
                              const std::atomic<bool>& abort) {
  engine::Grant grant = parts.lock.requestAndWait(engine::kCodeSongDetails, 0, kGrantPatience);
  if (!grant) return DetailsOutcome{};
  if (abort.load()) {
    DetailsOutcome out;
    out.granted = true;
    return out;
  }
  DetailsOutcome out = detailsStepWithGrant(parts, request);
  grant.release();
  if (!out.deleted_path.empty()) {
    out.moved_to =
        maintenance::moveIntoDataDir(out.deleted_path, parts.data_directory).value_or("");
  }
  return out;
}

}  // namespace tunora::ui
