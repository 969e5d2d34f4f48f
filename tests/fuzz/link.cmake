kaptiv_fuzz_target(fuzz_link_answer ${CMAKE_CURRENT_LIST_DIR}/FuzzAnswerParser.cpp LIBS link)
kaptiv_fuzz_target(fuzz_link_gateway ${CMAKE_CURRENT_LIST_DIR}/FuzzGatewayMessages.cpp LIBS link)
kaptiv_fuzz_target(fuzz_trace_reader ${CMAKE_CURRENT_LIST_DIR}/FuzzTraceReader.cpp LIBS link tools_trace)
# The seeds too, among them a CAM menu nested 9,000 deep and a 64 kB line (the libFuzzer run
# reaches them through tests/fuzz/options/trace_reader, which raises -max_len).
if(NOT KAPTIV_FUZZ)
  file(GLOB _trace_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/trace_reader/*)
  add_test(NAME fuzz_trace_reader_seeded COMMAND fuzz_trace_reader --runs=200 ${_trace_seeds})
  set_tests_properties(fuzz_trace_reader_seeded PROPERTIES LABELS fuzz)
endif()
