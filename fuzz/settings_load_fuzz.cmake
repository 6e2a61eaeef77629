# Fuzzes the settings file decoder, the upgrades and the filler file decoder.
tunora_fuzz_target(settings_load settings_load_fuzz.cc LIBS tunora_settings)
