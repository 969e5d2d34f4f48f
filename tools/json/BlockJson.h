#pragma once
// One entry point per direction for kaptiv-config: a module's parameter block as JSON, and
// such JSON back into the block's bytes, for every module type that has a block.
#include "settings/BlockResult.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <span>
#include <string>

namespace kaptiv::tools {

struct JsonDecodeResult {
    nlohmann::json json;
    std::string error; // empty on success
    bool Ok() const { return error.empty(); }
};

JsonDecodeResult BlockToJson(uint8_t type, std::span<const uint8_t> block);

// Fields absent from the JSON take the values of a fresh editor (encode a decoded block's JSON to
// get its bytes back).
settings::EncodeResult BlockFromJson(uint8_t type, const nlohmann::json& json);

} // namespace kaptiv::tools
