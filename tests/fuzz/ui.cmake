# Dialog model: events from the page, decoded from arbitrary bytes, against every control kind.
kaptiv_fuzz_target(fuzz_ui_events ${CMAKE_CURRENT_SOURCE_DIR}/ui/UiEventsFuzz.cpp LIBS ui)
