# The rack watch: the answers of a status round into measures and alarms.
# Seeds: tests/fuzz/corpus/status_round/ (a twin tuner, a modulator with rates, a CI module).
kaptiv_fuzz_target(fuzz_status_round ${CMAKE_CURRENT_LIST_DIR}/monitor/StatusRoundFuzz.cpp LIBS monitor)
if(NOT KAPTIV_FUZZ)
  file(GLOB _status_round_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/status_round/*)
  add_test(NAME fuzz_status_round_seeded COMMAND fuzz_status_round --runs=3000 ${_status_round_seeds})
  set_tests_properties(fuzz_status_round_seeded PROPERTIES LABELS fuzz)
endif()
