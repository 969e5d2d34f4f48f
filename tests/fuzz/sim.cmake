# Simulated rack: request frames on the serial line and gateway messages.
# Seeds for libFuzzer runs: tests/fuzz/corpus/sim_*.
kaptiv_fuzz_target(fuzz_sim_frames ${CMAKE_CURRENT_SOURCE_DIR}/sim/SimFramesFuzz.cpp LIBS mulvane_sim)
# Streaming module: shell command texts and file requests from the PC.
kaptiv_fuzz_target(fuzz_sim_shell ${CMAKE_CURRENT_SOURCE_DIR}/sim/SimShellFuzz.cpp LIBS mulvane_sim)
