#pragma once
// Module type codes as the modules report them, with the name the installer sees and the
// module's role in a chain (input, common interface, output).
#include <cstdint>
#include <string>

namespace kaptiv::rack {

enum class ModuleRole { None, Controller, Input, CommonInterface, Output };

constexpr uint8_t kTypeController = 0;
constexpr uint8_t kTypeCommonInterface = 3;
constexpr uint8_t kTypeSat2 = 7; // firmware family shared with 10 and 12
constexpr uint8_t kTypeSat2Rev = 10;
constexpr uint8_t kTypeTerrestrial = 12;
constexpr uint8_t kTypeIpStreamer = 13;
constexpr uint8_t kTypeHdEncoder = 14;
constexpr uint8_t kTypeCount = 15; // codes 15 and above have no name and no role

// "RkPSU", "RkSat1.0", ...; empty for codes of 15 or more.
std::string ModuleName(uint8_t type);
ModuleRole RoleOf(uint8_t type);
// Types whose parameter block the tool edits, compares and writes back (not 0, not 3).
bool HasEditableBlock(uint8_t type);
// Output types that are told to apply new settings (the IP streamer is not).
bool TakesApplyRequest(uint8_t type);

} // namespace kaptiv::rack
