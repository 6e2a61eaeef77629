tunora_fuzz_target(tag_reader tag_reader_fuzz.cc LIBS tunora_media)
