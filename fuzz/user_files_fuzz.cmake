# Fuzzes the readers of files the user names with regular files, links, FIFOs, folders and
# /dev/zero (the first byte of an input picks which).
if(TARGET tunora_cli_commands)
  tunora_fuzz_target(user_files user_files_fuzz.cc LIBS tunora_cli_commands)
endif()
