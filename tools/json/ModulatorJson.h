#pragma once
// JSON form of the modulator values for kaptiv-config ("block decode/encode --type T" for the
// modulator types 2, 5, 6, 8, 11). Every field is named; indices carry their text beside them
// ("codeRate": 1, "codeRateText": "2/3"), and the stored NIT is shown both decoded into its
// fields and as hex. Reading back takes the editable fields only; the texts, the channel
// frequencies and the stored NIT are for the reader and are ignored.
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "settings/ModulatorValues.h"

namespace kaptiv::tools {

nlohmann::json ModulatorToJson(uint8_t type, const settings::ModulatorValues& values);

// Fills `values` from `json`. A key that is absent leaves its field as it was in `values` (start
// from a decoded block, or from default values). A value of the wrong kind or outside its field
// makes it return false with the reason in `error` (values may then be partly filled).
bool ModulatorFromJson(uint8_t type, const nlohmann::json& json, settings::ModulatorValues& values,
                       std::string& error);

} // namespace kaptiv::tools
