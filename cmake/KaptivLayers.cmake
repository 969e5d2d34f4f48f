# Layers of the source tree, enforced by the build.
#
# Every folder is one library (plus, in a few folders, the program built on it). Includes
# name the folder ("link/CXmit.h"), but the top of the source tree is on no include path:
# each folder gets an include root of its own in the build tree, holding a single link
# named after the folder. A target sees the roots of the libraries it links and its own,
# nothing else, so an include that points up a layer does not compile.
#
# A header that only higher folders include would still slip through the compiler, so the
# links between the folders are also written to layers.txt, against which the test
# layers_includes checks every include of every folder.

set(KAPTIV_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include-roots)

# The include root of a folder of the source tree (created on first use).
function(kaptiv_folder_root folder out)
  set(root ${KAPTIV_INCLUDE_ROOTS}/${folder})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# kaptiv_layer(<target>): the target belongs to the folder it is declared in. A library
# hands its folder's root on to whoever links it; a program keeps it to itself.
function(kaptiv_layer target)
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  kaptiv_folder_root(${folder} root)
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
  set_property(TARGET ${target} PROPERTY KAPTIV_FOLDER ${folder})
  set_property(GLOBAL APPEND PROPERTY KAPTIV_LAYER_TARGETS ${target})
endfunction()

# The folders a target reaches through its links, its own included.
function(_kaptiv_reached_folders target out)
  set(seen "")
  set(pending ${target})
  set(folders "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(folder ${current} KAPTIV_FOLDER)
    if(folder)
      list(APPEND folders ${folder})
    endif()
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      list(APPEND pending ${aliased})
    endif()
    get_target_property(links ${current} LINK_LIBRARIES)
    if(links)
      list(APPEND pending ${links})
    endif()
  endwhile()
  list(REMOVE_DUPLICATES folders)
  set(${out} ${folders} PARENT_SCOPE)
endfunction()

# Writes layers.txt (one line per folder: the folder, then every folder it may include) and
# registers the tests that hold the tree to it. Called once every folder has been added.
function(kaptiv_check_layers)
  get_property(targets GLOBAL PROPERTY KAPTIV_LAYER_TARGETS)
  set(folders "")
  foreach(target IN LISTS targets)
    get_target_property(folder ${target} KAPTIV_FOLDER)
    list(APPEND folders ${folder})
    _kaptiv_reached_folders(${target} reached)
    list(APPEND _reach_${folder} ${reached})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  list(SORT folders)
  set(text "")
  foreach(folder IN LISTS folders)
    list(REMOVE_DUPLICATES _reach_${folder})
    list(SORT _reach_${folder})
    list(JOIN _reach_${folder} " " reach)
    string(APPEND text "${folder}: ${reach}\n")
  endforeach()
  file(WRITE ${CMAKE_BINARY_DIR}/layers.txt.tmp "${text}")
  configure_file(${CMAKE_BINARY_DIR}/layers.txt.tmp ${CMAKE_BINARY_DIR}/layers.txt COPYONLY)

  add_test(NAME layers_includes
           COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DLAYERS=${CMAKE_BINARY_DIR}/layers.txt
                   -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake)
  # The compiler itself refuses an include that points up: a header of rack/ through the
  # include roots of link/ does not compile, one of link/ does.
  add_test(NAME layers_compile_probe
           COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER}
                   "-DINCLUDE_DIRS=${KAPTIV_INCLUDE_ROOTS}/link;${KAPTIV_INCLUDE_ROOTS}/platform"
                   -DWORK_DIR=${CMAKE_BINARY_DIR}/layers-probe
                   -P ${CMAKE_SOURCE_DIR}/cmake/ProbeLayerIncludes.cmake)
  set_tests_properties(layers_includes layers_compile_probe PROPERTIES LABELS unit)
endfunction()
