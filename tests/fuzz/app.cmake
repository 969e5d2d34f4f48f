# Application shell: the profile file and pref.txt.
kaptiv_fuzz_target(fuzz_profile ${CMAKE_CURRENT_SOURCE_DIR}/app/ProfileFuzz.cpp LIBS app)
