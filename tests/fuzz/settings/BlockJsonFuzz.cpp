// kaptiv-config's JSON input: the first byte picks the module type (0 to 14), the rest is the
// text. Whatever the text, reading it either refuses it with a reason or gives a block that
// fits the rack's area and decodes again.
#include "settings/BlockResult.h"
#include "tools/json/BlockJson.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const auto type = static_cast<uint8_t>(data[0] % 15);
    const auto json = nlohmann::json::parse(data + 1, data + size, nullptr, false);
    if (json.is_discarded())
        return 0;
    const auto encoded = kaptiv::tools::BlockFromJson(type, json);
    if (!encoded.Ok()) {
        if (encoded.error.empty())
            std::abort();
        return 0;
    }
    if (encoded.block.size() > kaptiv::settings::kMaxBlockSize)
        std::abort();
    if (!kaptiv::tools::BlockToJson(type, encoded.block).Ok())
        std::abort();
    return 0;
}
