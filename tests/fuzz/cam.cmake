# Common-interface panel: link records, transport packets and MMI objects from the CAM.
# Seeds for libFuzzer runs: tests/fuzz/corpus/cam_records/.
kaptiv_fuzz_target(fuzz_cam_records ${CMAKE_CURRENT_SOURCE_DIR}/cam/CamRecordsFuzz.cpp LIBS cam_mmi)
