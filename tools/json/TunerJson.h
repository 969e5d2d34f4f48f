#pragma once
// JSON form of the tuner values (types 1, 4, 7, 10, 12) for kaptiv-config. Every field is named;
// coded choices carry their text beside them ("fecIndex": 2, "fecText": "3/4"). Reading back
// takes the editable fields only (the texts are for the reader and are ignored); an absent key
// leaves its field as it was in `values`. The object "page" holds the check boxes that decide the
// written lock settings.
#include "settings/TunerBlock.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace kaptiv::tools {

nlohmann::json TunerToJson(const settings::TunerValues& values, const settings::TunerChecks& checks);

// `values.type` must already hold the module type. Returns false with the reason in `error`.
bool TunerFromJson(const nlohmann::json& json, settings::TunerValues& values, settings::TunerChecks& checks,
                   std::string& error);

} // namespace kaptiv::tools
