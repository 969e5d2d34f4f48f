# The settings page. Seeds: tests/fuzz/corpus/received_services/ (the first byte picks the type).
kaptiv_fuzz_target(fuzz_received_services ${CMAKE_CURRENT_LIST_DIR}/editor/ReceivedServicesFuzz.cpp LIBS editor)
if(NOT KAPTIV_FUZZ)
  file(GLOB _received_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/received_services/*.bin)
  add_test(NAME fuzz_received_services_seeded COMMAND fuzz_received_services --runs=5000 ${_received_seeds})
  set_tests_properties(fuzz_received_services_seeded PROPERTIES LABELS fuzz)
endif()
