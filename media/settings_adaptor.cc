// Reading the media settings out of the settings record.
#include "media/settings_adaptor.h"

#include "settings/settings_layout.h"

namespace tunora::media {

MediaSwitches mediaSwitchesOf(const Settings& settings) {
  const auto on = [&](settings::IntField field) { return settings.get(field) != 0; };
  MediaSwitches s;
  s.play_all = on(settings::kPlayAll);
  s.play_mp3 = on(settings::kPlayMp3);
  s.play_wav = on(settings::kPlayWav);
  s.play_midi = on(settings::kPlayMidi);
  s.play_wma = on(settings::kPlayWma);
  s.play_asf = on(settings::kPlayAsf);
  s.play_avi = on(settings::kPlayAvi);
  s.play_mpeg = on(settings::kPlayMpeg);
  s.play_wmv = on(settings::kPlayWmv);
  s.play_m4a = on(settings::kPlayM4a);
  return s;
}

TagOptions tagOptionsOf(const Settings& settings) {
  TagOptions options;
  options.dir_to_id = settings.get(settings::kDirToId) != 0;
  options.lame_check = settings.get(settings::kLameCheck) != 0;
  options.switches = mediaSwitchesOf(settings);
  return options;
}

}  // namespace tunora::media
