# Configuration files: the loader, kaptiv-config qvc build, and the simulator's own reader.
# Seeds: tests/fuzz/corpus/config_file/ (the same files in corpus/sim_config_rack/ for the libFuzzer run), corpus/qvc_build/.
kaptiv_fuzz_target(fuzz_config_file ${CMAKE_CURRENT_LIST_DIR}/configfiles/ConfigFileFuzz.cpp LIBS configfiles_format)
kaptiv_fuzz_target(fuzz_qvc_build ${CMAKE_CURRENT_LIST_DIR}/configfiles/QvcBuildFuzz.cpp LIBS tools_qvc)
kaptiv_fuzz_target(fuzz_sim_config_rack ${CMAKE_CURRENT_LIST_DIR}/configfiles/SimConfigRackFuzz.cpp LIBS mulvane_sim)
if(NOT KAPTIV_FUZZ)
  file(GLOB _config_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/config_file/*)
  file(GLOB _qvc_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/qvc_build/*)
  add_test(NAME fuzz_config_file_seeded COMMAND fuzz_config_file --runs=5000 ${_config_seeds})
  add_test(NAME fuzz_sim_config_rack_seeded COMMAND fuzz_sim_config_rack --runs=5000 ${_config_seeds})
  add_test(NAME fuzz_qvc_build_seeded COMMAND fuzz_qvc_build --runs=2000 ${_qvc_seeds})
  set_tests_properties(fuzz_config_file_seeded fuzz_sim_config_rack_seeded fuzz_qvc_build_seeded
                       PROPERTIES LABELS fuzz)
endif()
