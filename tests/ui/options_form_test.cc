// The Options and Internals dialogs' forms: "Network" off turning "Buffer" off, what "OK" asks of
// the buffering, the per-state owner, "Reset" and the internals' numbers. (Each control's round
// trip is the dialogs' window test.)
#include "ui/options_form.h"

#include <gtest/gtest.h>

#include "network/buffering.h"
#include "settings/settings_defaults.h"
#include "ui/internals_form.h"

namespace tunora::ui {
namespace {

using settings::kCurrentState;

// Settings with every edited field away from its default.
Settings unusualSettings() {
  Settings s;
  resetAll(s);
  resetRatingValues(s);
  for (uint32_t u = 0; u < settings::kUsers; ++u)
    s.setText(settings::kUserName, u, "User" + std::to_string(u));
  s.set(settings::kListSize, 42);
  s.set(kCurrentState, 3);
  s.set(settings::kStateNaughtyLimit, 3, 2);
  s.set(settings::kStateMinRating, 3, 7);
  for (const CheckOption& option : kMiscOptions) s.set(option.field, 1 - s.get(option.field));
  s.set(settings::kNetwork, 1);
  s.set(settings::kBuffer, 1);
  return s;
}

TEST(OptionsFormTest, OkWithNetworkOffTurnsBufferOffAndAsksTheBufferingToFollow) {
  Settings s = unusualSettings();
  OptionsForm form = readOptionsForm(s);
  form.misc[kNetworkBox] = false;
  form.misc[kBufferBox] = true;
  EXPECT_EQ(storeOptionsForm(form, s, network::kBuffered), BufferFollowUp::kRestart);
  EXPECT_EQ(s.get(settings::kBuffer), 0);
  EXPECT_EQ(s.get(settings::kNetwork), 0);

  form.misc[kNetworkBox] = true;
  EXPECT_EQ(storeOptionsForm(form, s, network::kBufferOff), BufferFollowUp::kSetUp);
  EXPECT_EQ(s.get(settings::kBuffer), 1);

  // A failed state restarts; a pass running is left to finish.
  EXPECT_EQ(bufferFollowUp(network::kBufferFailed, false), BufferFollowUp::kRestart);
  EXPECT_EQ(bufferFollowUp(network::kBuffering, false), BufferFollowUp::kNone);
}

TEST(OptionsFormTest, PerStateControlsGoToTheStateThatOwnsThemAndPrepareMustBeANumber) {
  Settings s = unusualSettings();
  OptionsForm form = readOptionsForm(s);
  // A switch to state 5 showed state 5's values meanwhile.
  form.per_state_owner = 5;
  form.per_state = {1, 4, 0, 1};
  form.prepare = "abc";
  (void)storeOptionsForm(form, s, network::kBufferOff);
  EXPECT_EQ(s.get(settings::kStateMinRating, 5), 4);
  EXPECT_EQ(s.get(settings::kStateNaughtyLimit, 5), 1);
  EXPECT_EQ(s.get(settings::kStateNoArtRep, 5), 0);
  EXPECT_EQ(s.get(settings::kStateHistory, 5), 1);
  EXPECT_EQ(s.get(settings::kStateMinRating, 3), 7);  // state 3 untouched
  EXPECT_EQ(s.get(settings::kListSize), 42);          // kept
  form.prepare = " 250 ";
  (void)storeOptionsForm(form, s, network::kBufferOff);
  EXPECT_EQ(s.get(settings::kListSize), 250);

  // Damaged per-state values show as the nearest combo entry.
  s.set(settings::kStateMinRating, 3, 99);
  s.set(settings::kStateNaughtyLimit, 3, -4);
  const OptionsForm shown = readOptionsForm(s);
  EXPECT_EQ(shown.per_state.min_rating, 10);
  EXPECT_EQ(shown.per_state.naughty_limit, 0);
}

TEST(OptionsFormTest, ResetRestoresTheDefaultsButKeepsTheStateAndTheRatingValues) {
  Settings s = unusualSettings();
  alternateRatingValues(s);
  s.setText(settings::kDatabasePath, "/music/Tunora.mbf");
  EXPECT_EQ(resetOptions(s), 3);
  EXPECT_EQ(s.get(kCurrentState), 3);
  EXPECT_EQ(s.text(settings::kUserName, 0), "One");
  EXPECT_EQ(s.get(settings::kListSize), 100);
  EXPECT_EQ(s.get(settings::kStateMinRating, 3), 0);
  EXPECT_EQ(s.get(settings::kTargetValue), 2000);
  EXPECT_EQ(s.text(settings::kDatabasePath), "/music/Tunora.mbf");
}

// (What each control stores is the dialog's round trip.)
TEST(InternalsFormTest, OkKeepsWhatIsNotANumberAndShowsAnUnknownSpeedAsFast) {
  Settings s;
  resetAll(s);
  resetRatingValues(s);
  InternalsForm form = readInternalsForm(s);
  EXPECT_EQ(form.buffer_size, "150");
  form.rating_values[2] = std::string(1, 'x');  // not "x": GCC 12 -O3 warns wrongly
  form.default_import = "";
  form.ar_speed = 0;
  storeInternalsForm(form, s);
  EXPECT_EQ(s.get(settings::kArSpeed), 0);
  EXPECT_EQ(s.get(settings::kRatingValue, 2), 4);
  EXPECT_EQ(s.get(settings::kDefaultImport), 16);
  s.set(settings::kArSpeed, 7);
  EXPECT_EQ(readInternalsForm(s).ar_speed, 2);
}

}  // namespace
}  // namespace tunora::ui
