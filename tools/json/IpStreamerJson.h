#pragma once
// JSON form of the IP streamer values (type 13) for kaptiv-config. Every field is named; coded
// choices carry their text beside them, addresses are dotted texts and the MAC address is
// "02:4D:56:13:2C:E7". Reading back takes the editable fields only; an absent key leaves its
// field as it was.
#include "settings/IpStreamerBlock.h"

#include <nlohmann/json.hpp>

#include <string>

namespace kaptiv::tools {

nlohmann::json IpStreamerToJson(const settings::IpStreamerValues& values);
bool IpStreamerFromJson(const nlohmann::json& json, settings::IpStreamerValues& values, std::string& error);

} // namespace kaptiv::tools
