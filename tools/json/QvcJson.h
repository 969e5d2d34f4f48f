#pragma once
// A configuration file as JSON and back, for installers who keep site configurations in
// version control:
//
//   {"modules": [{"slot": 0, "type": 0, "module": "RkPSU", "hex": "01 02 03"},
//                {"slot": 1, "type": 7, "module": "RkSat2.0", "block": { ...as block decode... }}]}
//
// Every module carries its block as "hex"; a module whose block decodes also carries "block" (the
// JSON of `block decode`). When building, an entry whose "block" still says what its "hex"
// decodes to is written from the hex, byte for byte; an edited "block" is encoded; without
// "block" the hex is written, without both an empty block. "slot" and "module" are ignored.
#include "configfiles/ConfigFile.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kaptiv::tools {

nlohmann::json QvcToJson(const std::vector<configfiles::ConfigEntry>& entries);
// The file's bytes; empty with the reason in `error` when an entry cannot be built.
std::vector<uint8_t> QvcFromJson(const nlohmann::json& json, std::string& error);

std::string HexText(std::span<const uint8_t> bytes);
// Pairs of hex digits, blanks between them allowed. Nothing when another character appears.
std::optional<std::vector<uint8_t>> ParseHex(const std::string& text, std::string& error);

} // namespace kaptiv::tools
