# Answers of the streaming modules. Seeds: tests/fuzz/corpus/name_list/.
kaptiv_fuzz_target(fuzz_name_list ${CMAKE_CURRENT_LIST_DIR}/streaming/NameListFuzz.cpp LIBS streaming)
if(NOT KAPTIV_FUZZ)
  file(GLOB _name_list_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/name_list/*.bin)
  add_test(NAME fuzz_name_list_seeded COMMAND fuzz_name_list --runs=5000 ${_name_list_seeds})
  set_tests_properties(fuzz_name_list_seeded PROPERTIES LABELS fuzz)
endif()
