# The page protocol's parser of browser messages. Built from the sources directly so that it
# also runs in the libFuzzer build, which leaves the display server (Boost) out.
kaptiv_fuzz_target(fuzz_web_messages ${CMAKE_CURRENT_LIST_DIR}/web/FuzzWebMessages.cpp LIBS ui)
target_sources(fuzz_web_messages PRIVATE ${CMAKE_SOURCE_DIR}/web/BrowserMessages.cpp ${CMAKE_SOURCE_DIR}/web/PathRef.cpp)
kaptiv_folder_root(web web_root)
target_include_directories(fuzz_web_messages PRIVATE ${web_root})
find_package(nlohmann_json REQUIRED)
target_link_libraries(fuzz_web_messages PRIVATE nlohmann_json::nlohmann_json)
