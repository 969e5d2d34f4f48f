kaptiv_fuzz_target(fuzz_link_answer ${CMAKE_CURRENT_LIST_DIR}/FuzzAnswerParser.cpp LIBS link)
kaptiv_fuzz_target(fuzz_link_gateway ${CMAKE_CURRENT_LIST_DIR}/FuzzGatewayMessages.cpp LIBS link)
kaptiv_fuzz_target(fuzz_trace_reader ${CMAKE_CURRENT_LIST_DIR}/FuzzTraceReader.cpp LIBS link tools_trace)
