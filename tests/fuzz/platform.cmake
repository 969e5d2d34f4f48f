# Hex text of hand-written blocks. Seeds: tests/fuzz/corpus/hex_text/.
kaptiv_fuzz_target(fuzz_hex_text ${CMAKE_CURRENT_LIST_DIR}/platform/HexTextFuzz.cpp LIBS platform)
if(NOT KAPTIV_FUZZ)
  file(GLOB _hex_text_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/hex_text/*)
  add_test(NAME fuzz_hex_text_seeded COMMAND fuzz_hex_text --runs=3000 ${_hex_text_seeds})
  set_tests_properties(fuzz_hex_text_seeded PROPERTIES LABELS fuzz)
endif()
