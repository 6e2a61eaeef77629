// The Options dialog's form.
#include "ui/options_form.h"

#include <algorithm>

#include "network/buffering.h"
#include "settings/settings_defaults.h"
#include "ui/dialog_number.h"

namespace tunora::ui {

namespace {

bool on(const Settings& settings, settings::IntField field) { return settings.get(field) != 0; }

}  // namespace

OptionsForm readOptionsForm(const Settings& settings) {
  OptionsForm form;
  for (uint32_t user = 0; user < settings::kUsers; ++user) {
    form.user_names[user] = settings.text(settings::kUserName, user);
  }
  for (uint32_t mode = 1; mode <= kAltModesShown; ++mode) {
    form.alt_names[mode - 1] = settings.text(settings::kAltName, mode);
    form.alt_patterns[mode - 1] = settings.text(settings::kAltPattern, mode - 1);
  }
  form.play_all = on(settings, settings::kPlayAll);
  for (size_t i = 0; i < kFileTypeOptions.size(); ++i) {
    form.file_types[i] = on(settings, kFileTypeOptions[i].field);
  }
  for (size_t i = 0; i < kMiscOptions.size(); ++i) {
    form.misc[i] = on(settings, kMiscOptions[i].field);
  }
  form.prepare = std::to_string(settings.get(settings::kListSize));

  const int32_t state = settings.get(settings::kCurrentState);
  form.current_state = std::clamp<int32_t>(state, 0, settings::kStates - 1);
  form.per_state_owner = form.current_state;
  const auto owner = static_cast<uint32_t>(form.per_state_owner);
  form.per_state.naughty_limit =
      std::clamp<int32_t>(settings.get(settings::kStateNaughtyLimit, owner), 0,
                          static_cast<int32_t>(kNaughtyLevels.size()) - 1);
  form.per_state.min_rating =
      std::clamp<int32_t>(settings.get(settings::kStateMinRating, owner), 0, kHighestMinRating);
  form.per_state.no_art_rep = settings.get(settings::kStateNoArtRep, owner) != 0 ? 1 : 0;
  form.per_state.history = settings.get(settings::kStateHistory, owner) != 0 ? 1 : 0;
  for (uint32_t s = 0; s < settings::kStates; ++s) {
    form.state_names[s] = settings.text(settings::kStateName, s);
  }
  return form;
}

BufferFollowUp bufferFollowUp(int32_t buffer_state, bool buffer_on) {
  if (buffer_state == network::kBufferOff) {
    return buffer_on ? BufferFollowUp::kSetUp : BufferFollowUp::kNone;
  }
  if (!buffer_on && buffer_state < network::kBuffering) return BufferFollowUp::kRestart;
  return BufferFollowUp::kNone;
}

BufferFollowUp storeOptionsForm(const OptionsForm& form, Settings& settings, int32_t buffer_state) {
  for (uint32_t user = 0; user < settings::kUsers; ++user) {
    settings.setText(settings::kUserName, user, form.user_names[user]);
  }
  for (uint32_t mode = 1; mode <= kAltModesShown; ++mode) {
    settings.setText(settings::kAltName, mode, form.alt_names[mode - 1]);
    settings.setText(settings::kAltPattern, mode - 1, form.alt_patterns[mode - 1]);
  }
  if (const auto list_size = parseDialogNumber(form.prepare)) {
    settings.set(settings::kListSize, *list_size);
  }
  settings.set(settings::kPlayAll, form.play_all ? 1 : 0);
  for (size_t i = 0; i < kFileTypeOptions.size(); ++i) {
    settings.set(kFileTypeOptions[i].field, form.file_types[i] ? 1 : 0);
  }
  const auto owner = static_cast<uint32_t>(form.per_state_owner);
  settings.set(settings::kStateNaughtyLimit, owner, form.per_state.naughty_limit);
  settings.set(settings::kStateMinRating, owner, form.per_state.min_rating);
  settings.set(settings::kStateNoArtRep, owner, form.per_state.no_art_rep);
  settings.set(settings::kStateHistory, owner, form.per_state.history);

  const bool network = form.misc[kNetworkBox];
  const bool buffer = network && form.misc[kBufferBox];
  for (size_t i = 0; i < kMiscOptions.size(); ++i) {
    const bool value = i == kBufferBox ? buffer : form.misc[i];
    settings.set(kMiscOptions[i].field, value ? 1 : 0);
  }
  return bufferFollowUp(buffer_state, buffer);
}

int32_t resetOptions(Settings& settings) {
  const int32_t state = settings.get(settings::kCurrentState);
  resetAll(settings);
  settings.set(settings::kCurrentState, state);
  return state;
}

}  // namespace tunora::ui
