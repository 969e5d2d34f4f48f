#pragma once
// A simulated rack built from an installer's configuration file (".qvc"): one module per
// entry, in the file's order, each starting with the entry's parameter block. The file is read
// here with the simulator's own code: type (1 byte), length (2 bytes, big-endian), block.
#include "sim/Engine.h"
#include "sim/Rack.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace mulvane {

// Modules sit at bus address 9 + slot, as in the demo rack; the first entry must be the
// controller. Refused (nothing, with the reason): more than 15 entries, a block over 1024
// bytes, a file that ends inside an entry, a first entry that is not type 0, a type over 14.
std::optional<RackConfig> RackFromConfigBytes(std::span<const uint8_t> bytes, std::string& error);
std::optional<RackConfig> RackFromConfigFile(const std::string& path, std::string& error);

// Files are read up to the largest configuration file and one byte (platform/FileAccess.h):
// a FIFO or device is refused at once.
//
// The rack's modules with the blocks they hold now, in the same file format: what a test (or an
// installer working offline) reads back after the tool wrote to the simulated modules. A rack
// the format cannot hold faithfully is refused with the reason, never cut: more than 15
// modules, or a module holding a block over 1024 bytes.
std::optional<std::vector<uint8_t>> ConfigBytesOfRack(const RackEngine& engine, std::string& error);
// Written atomically (temporary file, then renamed): an existing file is replaced whole or not at all.
bool SaveRackAsConfig(const RackEngine& engine, const std::string& path, std::string& error);

} // namespace mulvane
