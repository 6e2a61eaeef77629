# Fuzzes the command-line splitter and argument access.
tunora_fuzz_target(command_line command_line_fuzz.cc LIBS tunora_app)
