#pragma once
// JSON form of the A/V encoder (type 9) and HD encoder (type 14) values for kaptiv-config.
// Every field is named; coded choices carry their text beside them. Reading back takes the
// editable fields only; an absent key leaves its field as it was. The object "page" holds the
// encoder's "changed" mark, which advances the change counter when the block is written.
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"

#include <nlohmann/json.hpp>

#include <string>

namespace kaptiv::tools {

nlohmann::json EncoderToJson(const settings::EncoderValues& values, bool changed);
bool EncoderFromJson(const nlohmann::json& json, settings::EncoderValues& values, bool& changed,
                     std::string& error);

nlohmann::json HdEncoderToJson(const settings::HdEncoderValues& values, bool changed);
bool HdEncoderFromJson(const nlohmann::json& json, settings::HdEncoderValues& values, bool& changed,
                       std::string& error);

} // namespace kaptiv::tools
