cmake_minimum_required(VERSION 3.25)
# cmake -DCXX=<compiler> -DINCLUDE_DIRS=<link's roots> -DWORK_DIR=<dir> -P ProbeLayerIncludes.cmake
#
# With the include roots link/ compiles against, a header of link/ must compile and one of
# rack/ must not be found at all.
file(MAKE_DIRECTORY ${WORK_DIR})
set(flags -std=c++20 -fsyntax-only)
foreach(dir IN LISTS INCLUDE_DIRS)
  list(APPEND flags -I${dir})
endforeach()

file(WRITE ${WORK_DIR}/down.cpp "#include \"link/CommandSet.h\"\n")
execute_process(COMMAND ${CXX} ${flags} ${WORK_DIR}/down.cpp RESULT_VARIABLE down_result
                ERROR_VARIABLE down_error)
if(NOT down_result EQUAL 0)
  message(FATAL_ERROR "a header of link/ does not compile with link's include roots:\n${down_error}")
endif()

file(WRITE ${WORK_DIR}/up.cpp "#include \"rack/RackImage.h\"\n")
execute_process(COMMAND ${CXX} ${flags} ${WORK_DIR}/up.cpp RESULT_VARIABLE up_result
                ERROR_VARIABLE up_error)
if(up_result EQUAL 0)
  message(FATAL_ERROR "rack/RackImage.h compiles with link's include roots: the layers are not enforced")
endif()
if(NOT up_error MATCHES "rack/RackImage.h")
  message(FATAL_ERROR "rack/RackImage.h failed for another reason than not being found:\n${up_error}")
endif()
message(STATUS "link/ sees its own headers and not those of rack/")
