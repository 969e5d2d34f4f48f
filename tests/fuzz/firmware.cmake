# Firmware folder: firmware files (checksum, composite sub-records, packet coding) and the
# index text with its names; the simulated loaders' request parsing.
# Seeds: tests/fuzz/corpus/firmware_file/, firmware_index/, sim_firmware_loader/.
kaptiv_fuzz_target(fuzz_firmware_file ${CMAKE_CURRENT_LIST_DIR}/firmware/FuzzFirmwareFile.cpp LIBS firmware_files)
kaptiv_fuzz_target(fuzz_firmware_index ${CMAKE_CURRENT_LIST_DIR}/firmware/FuzzFirmwareIndex.cpp LIBS firmware_files)
kaptiv_fuzz_target(fuzz_sim_firmware_loader ${CMAKE_CURRENT_LIST_DIR}/sim/SimFirmwareLoaderFuzz.cpp LIBS mulvane_sim)
