find_package(GTest REQUIRED)

# kaptiv_test(NAME SOURCES ... LIBS ... [LABEL unit|integration])
# One GoogleTest executable, registered with CTest test by test.
function(kaptiv_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS ${T_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()

# kaptiv_fuzz_target(fuzz_NAME SOURCE LIBS ...)  (names start with fuzz_)
# With KAPTIV_FUZZ the target is a libFuzzer program; otherwise it is linked with a
# small driver that feeds it seeded pseudo-random inputs (plus any files given on the
# command line) and runs as an ordinary test, so every build exercises the parsers.
function(kaptiv_fuzz_target name source)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  if(KAPTIV_FUZZ)
    add_executable(${name} ${source})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${source} ${CMAKE_SOURCE_DIR}/tests/fuzz/StandaloneDriver.cpp)
    add_test(NAME ${name} COMMAND ${name} --runs=3000)
    set_tests_properties(${name} PROPERTIES LABELS fuzz)
  endif()
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  if(NOT TARGET fuzz_targets)
    add_custom_target(fuzz_targets)
  endif()
  add_dependencies(fuzz_targets ${name})
endfunction()
