// The Internals dialog's form.
#include "ui/internals_form.h"

#include <algorithm>

#include "ui/dialog_number.h"

namespace tunora::ui {

namespace {

void storeNumber(const std::string& text, Settings& settings, settings::IntField field) {
  if (const auto value = parseDialogNumber(text)) settings.set(field, *value);
}

}  // namespace

InternalsForm readInternalsForm(const Settings& settings) {
  InternalsForm form;
  for (uint32_t i = 0; i < form.rating_values.size(); ++i) {
    form.rating_values[i] = std::to_string(settings.get(settings::kRatingValue, i));
  }
  form.target_value = std::to_string(settings.get(settings::kTargetValue));
  form.default_import = std::to_string(settings.get(settings::kDefaultImport));
  form.buffer_size = std::to_string(settings.get(settings::kBufferSize));
  form.ar_speed = std::clamp<int32_t>(settings.get(settings::kArSpeed), 0,
                                      static_cast<int32_t>(kArSpeeds.size()) - 1);
  form.lame_check = settings.get(settings::kLameCheck) != 0;
  return form;
}

void storeInternalsForm(const InternalsForm& form, Settings& settings) {
  for (uint32_t i = 0; i < form.rating_values.size(); ++i) {
    if (const auto value = parseDialogNumber(form.rating_values[i])) {
      settings.set(settings::kRatingValue, i, *value);
    }
  }
  storeNumber(form.target_value, settings, settings::kTargetValue);
  storeNumber(form.default_import, settings, settings::kDefaultImport);
  storeNumber(form.buffer_size, settings, settings::kBufferSize);
  settings.set(settings::kLameCheck, form.lame_check ? 1 : 0);
  settings.set(settings::kArSpeed, form.ar_speed);
}

void readLockWords(const engine::SharedWords& words, InternalsCounters& counters) {
  counters.lock_request = words.request.load();
  counters.lock_waiters = words.waiter_count.load();
  counters.lock_last_released = words.last_released.load();
  counters.lock_grant = words.grant.load();
  counters.executor_busy = words.executor_busy.load() != 0;
  counters.build_request = words.build_request.load();
}

std::string lockStateText(const InternalsCounters& c) {
  std::string text = std::to_string(c.lock_request) + ", " + std::to_string(c.lock_waiters) + ", " +
                     std::to_string(c.lock_last_released);
  if (c.lock_grant != 0) text += " Doing " + std::to_string(c.lock_grant);
  if (c.executor_busy) text += " WaitUp";
  return text;
}

std::array<std::string, 8> internalsShownTexts(const InternalsCounters& c) {
  return {std::to_string(c.build_time),
          std::to_string(c.current_score),
          std::to_string(c.queue_length),
          std::to_string(c.hash_stat),
          lockStateText(c),
          std::to_string(c.pick_balance),
          std::to_string(c.build_request),
          std::to_string(c.builder_stage) + ", " + std::to_string(c.writer_stage)};
}

}  // namespace tunora::ui
