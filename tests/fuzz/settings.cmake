# Parameter block codecs. Seeds: tests/fuzz/corpus/<target>/ (binary blocks; for the modulator
# target the first byte picks the module type).
kaptiv_fuzz_target(fuzz_modulator_block ${CMAKE_CURRENT_LIST_DIR}/settings/ModulatorBlockFuzz.cpp LIBS settings)
kaptiv_fuzz_target(fuzz_stored_nit ${CMAKE_CURRENT_LIST_DIR}/settings/StoredNitFuzz.cpp LIBS settings)
if(NOT KAPTIV_FUZZ)
  # Also from the seeds, whose mutations reach the re-encode checks far more often.
  file(GLOB _modulator_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/modulator_block/*)
  file(GLOB _nit_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/stored_nit/*)
  add_test(NAME fuzz_modulator_block_seeded COMMAND fuzz_modulator_block --runs=3000 ${_modulator_seeds})
  add_test(NAME fuzz_stored_nit_seeded COMMAND fuzz_stored_nit --runs=3000 ${_nit_seeds})
  set_tests_properties(fuzz_modulator_block_seeded fuzz_stored_nit_seeded PROPERTIES LABELS fuzz)
endif()
kaptiv_fuzz_target(fuzz_tuner_block ${CMAKE_CURRENT_LIST_DIR}/settings/TunerBlockFuzz.cpp LIBS settings)
kaptiv_fuzz_target(fuzz_encoder_block ${CMAKE_CURRENT_LIST_DIR}/settings/EncoderBlockFuzz.cpp LIBS settings)
kaptiv_fuzz_target(fuzz_ip_streamer_block ${CMAKE_CURRENT_LIST_DIR}/settings/IpStreamerBlockFuzz.cpp LIBS settings)
kaptiv_fuzz_target(fuzz_block_json ${CMAKE_CURRENT_LIST_DIR}/settings/BlockJsonFuzz.cpp LIBS tools_json)
if(NOT KAPTIV_FUZZ)
  # Seeds: the hand-made blocks (tuner seeds start with the byte that picks the type, encoder
  # seeds with the byte that picks the layout and the "changed" mark) and their JSON forms.
  foreach(_target tuner_block encoder_block ip_streamer_block block_json)
    file(GLOB _seeds_${_target} ${CMAKE_CURRENT_LIST_DIR}/corpus/${_target}/*)
  endforeach()
  add_test(NAME fuzz_tuner_block_seeded COMMAND fuzz_tuner_block --runs=5000 ${_seeds_tuner_block})
  add_test(NAME fuzz_encoder_block_seeded COMMAND fuzz_encoder_block --runs=5000 ${_seeds_encoder_block})
  add_test(NAME fuzz_ip_streamer_block_seeded COMMAND fuzz_ip_streamer_block --runs=5000 ${_seeds_ip_streamer_block})
  add_test(NAME fuzz_block_json_seeded COMMAND fuzz_block_json --runs=5000 ${_seeds_block_json})
  set_tests_properties(fuzz_tuner_block_seeded fuzz_encoder_block_seeded fuzz_ip_streamer_block_seeded
                       fuzz_block_json_seeded PROPERTIES LABELS fuzz)
endif()
