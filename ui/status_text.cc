// The status bar's four texts.
#include "ui/status_text.h"

#include "engine/lock_codes.h"
#include "library/song_table.h"
#include "network/buffering.h"

namespace tunora::ui {

namespace {

constexpr int32_t kNoFixedUser = 999;
constexpr int32_t kPartialBufferOdds = 6;
constexpr uint32_t kPartialBufferDraw = 3;

std::string spinnerText(int32_t spinner) {
  if (spinner < 25) return " /";
  if (spinner < 50) return " -";
  if (spinner < 75) return " \\";
  return " |";
}

std::string stateText(StatusParts& p, bool test_mode) {
  std::string text;
  if (p.words.request.load() == engine::kQuitRequested) {
    text = "Tunora Quiting";
  } else if (p.sources.building()) {
    text = "Tunora Building";
    if (test_mode) text += ", " + std::to_string(p.sources.builderPasses());
  } else if (p.words.playing.load() != 0) {
    text = "Tunora Playing";
  } else {
    text = "Tunora Ready";
  }
  if (p.sources.bufferState() == network::kUnbuffered) {
    text += " (Un-Buffered)";
    p.sources.setBufferState(network::kBuffered);
  }
  if (test_mode) text += spinnerText(p.sources.spinner());
  if (std::optional<std::string> message = p.message.takeMessage()) text += ", " + *message;
  return text;
}

std::optional<std::string> preparedText(StatusParts& p) {
  const int32_t prepared = p.play_list.songsPrepared();
  if (prepared >= kDoNotSavePlayList) return std::nullopt;
  std::string text = std::to_string(prepared) + " songs prepared";
  if (p.settings.get(settings::kBuffer) == 0) return text;
  switch (p.sources.bufferState()) {
    case network::kBuffering:
      text += " (Buffering)";
      break;
    case network::kPartiallyBuffered:
      text += " (Partially Buffered)";
      if (std::optional<uint32_t> draw = p.random.next32();
          draw && *draw % kPartialBufferOdds == kPartialBufferDraw) {
        p.sources.setBufferState(network::kBuffered);
      }
      break;
    case network::kBufferOff:
    case network::kBufferFailed:  // the pass gave up: not buffered either
      text += " Buffer Error";
      break;
    default:
      text += " (Buffered)";
      break;
  }
  return text;
}

std::string libraryText(StatusParts& p) {
  const int32_t build = p.words.build_request.load();
  if (build >= engine::kOfflineStart && build <= engine::kOfflineLocked) return "DB Offline";
  // The count of a table that is gone would mislead.
  if (p.words.library_missing.load() != 0) return kLibraryMissingText;
  // The songs, as users count them: the blank first record is none.
  std::string text = std::to_string(songCountOf(p.sources.liveRecords())) + " entries";
  if (p.sources.hashing()) text += " (Hashing)";
  if (p.sources.clearingCache()) text += " (Clearing Cache)";
  if (p.words.data_read_only.load() != 0) text += kReadOnlyRemark;
  return text;
}

std::string userText(StatusParts& p, bool test_mode) {
  const Settings& s = p.settings;
  const auto user = static_cast<uint32_t>(s.stateValue(settings::kStateUser));
  const auto alt = static_cast<uint32_t>(s.stateValue(settings::kStateAltMode));
  std::string text = "User " + s.text(settings::kUserName, user);
  if (alt != 0) text += ", " + s.text(settings::kAltName, alt) + " Mode";
  const int32_t fixed = p.sources.fixedUser();
  if (fixed != kNoFixedUser) {
    text += ", Edit locked to " + s.text(settings::kUserName, static_cast<uint32_t>(fixed));
  }
  if (test_mode) {
    text += ", " + std::to_string(p.sources.writerStage()) + ", " +
            std::to_string(p.sources.switchMarker());
  }
  return text;
}

}  // namespace

StatusTexts composeStatus(StatusParts& parts) {
  const bool test_mode = parts.words.test_functions.load() != 0;
  StatusTexts texts;
  texts[0] = stateText(parts, test_mode);
  texts[1] = preparedText(parts);
  texts[2] = libraryText(parts);
  texts[3] = userText(parts, test_mode);
  return texts;
}

std::function<void()> statusRefresher(StatusParts parts,
                                      std::function<void(const StatusTexts&)> show) {
  return [parts, show = std::move(show)]() mutable { show(composeStatus(parts)); };
}

}  // namespace tunora::ui
