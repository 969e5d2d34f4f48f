#pragma once
// `mulvane-sim --write-firmware DIR`: a firmware folder made for the simulated rack, so that
// the tool has something real to update. It holds newer releases for some modules, one
// modulator's change of personality with its front-panel picture, a component of the A/V
// encoder, and an HD encoder component named with its correct MD5. The rack is adjusted
// to match (the modulators run their own personality, one of them is to change), and the
// files are kept as the library against which the loaders compare what they receive.
#include "sim/FirmwareLoader.h"
#include "sim/Rack.h"

#include <optional>
#include <string>
#include <vector>

namespace mulvane {

class RackEngine;

struct InitialComponent {
    uint8_t address = 0;
    uint16_t number = 0;
    std::vector<uint8_t> header; // 16 bytes: version (3), release, ...
};

struct FirmwarePlan {
    FirmwareLibrary library;
    std::vector<InitialComponent> components;
    std::vector<std::string> notes; // one line per update the tool should make
};

// Builds the files for `rack` (adjusting its personalities); nothing written yet.
FirmwarePlan PlanFirmware(RackConfig& rack);
// Writes the plan into dir (created if needed): the files, the pictures, the HD component
// and the index "QVX.FRM" with CR-LF line ends. False (and why) when a file cannot be written.
bool WriteFirmwareFolder(const FirmwarePlan& plan, const std::string& dir, std::string& error);
// Gives the engine's loaders the library and the modules their components.
void InstallFirmware(RackEngine& engine, const FirmwarePlan& plan);

// A firmware file's bytes: checksum (sum of bytes 4.., little-endian), type, release, image.
std::vector<uint8_t> FirmwareFileBytes(const SimFirmwareFile& file);
// Deterministic filler, `erasedEvery` > 0: every such 256-byte block is left all 0xFF.
std::vector<uint8_t> PatternImage(size_t size, uint32_t seed, int erasedEvery = 0);
// Packet-coded data of `bytes`, in literal packets of at most 127 bytes.
std::vector<uint8_t> LiteralPackets(const std::vector<uint8_t>& bytes);

} // namespace mulvane
