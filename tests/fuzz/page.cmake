# Status answers of the settings page. Seeds: tests/fuzz/corpus/page_status (first byte picks
# the parser and its shape).
kaptiv_fuzz_target(fuzz_page_status ${CMAKE_CURRENT_LIST_DIR}/page/PageStatusFuzz.cpp LIBS editor_page)
if(NOT KAPTIV_FUZZ)
  file(GLOB _page_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/page_status/*.bin)
  add_test(NAME fuzz_page_status_seeded COMMAND fuzz_page_status --runs=3000 ${_page_seeds})
  set_tests_properties(fuzz_page_status_seeded PROPERTIES LABELS fuzz)
endif()
