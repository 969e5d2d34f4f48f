# Parameter block codecs. Seeds: tests/fuzz/corpus/settings_* (binary blocks; for the modulator
# target the first byte picks the module type).
kaptiv_fuzz_target(fuzz_modulator_block ${CMAKE_CURRENT_LIST_DIR}/settings/ModulatorBlockFuzz.cpp LIBS settings)
kaptiv_fuzz_target(fuzz_stored_nit ${CMAKE_CURRENT_LIST_DIR}/settings/StoredNitFuzz.cpp LIBS settings)
if(NOT KAPTIV_FUZZ)
  # Also from the seeds, whose mutations reach the re-encode checks far more often.
  file(GLOB _modulator_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/settings_modulator_*.bin)
  file(GLOB _nit_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/settings_nit_*.bin)
  add_test(NAME fuzz_modulator_block_seeded COMMAND fuzz_modulator_block --runs=3000 ${_modulator_seeds})
  add_test(NAME fuzz_stored_nit_seeded COMMAND fuzz_stored_nit --runs=3000 ${_nit_seeds})
  set_tests_properties(fuzz_modulator_block_seeded fuzz_stored_nit_seeded PROPERTIES LABELS fuzz)
endif()
