# Outside texts written into the installation report. Seeds: tests/fuzz/corpus/report_text/.
kaptiv_fuzz_target(fuzz_report_text ${CMAKE_CURRENT_LIST_DIR}/report/ReportTextFuzz.cpp LIBS report)
if(NOT KAPTIV_FUZZ)
  file(GLOB _report_text_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/report_text/*.bin)
  add_test(NAME fuzz_report_text_seeded COMMAND fuzz_report_text --runs=5000 ${_report_text_seeds})
  set_tests_properties(fuzz_report_text_seeded PROPERTIES LABELS fuzz)
endif()
