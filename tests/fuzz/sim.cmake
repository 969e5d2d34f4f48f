# Simulated rack: request frames on the serial line and gateway messages.
# Seeds for libFuzzer runs: tests/fuzz/corpus/sim_*.
kaptiv_fuzz_target(fuzz_sim_frames ${CMAKE_CURRENT_SOURCE_DIR}/sim/SimFramesFuzz.cpp LIBS mulvane_sim)
