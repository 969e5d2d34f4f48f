// kaptiv-config qvc build: whatever JSON it is given, it either refuses it with a reason or
// writes a file the loader accepts, and the dump of that file builds the same bytes again.
#include "configfiles/ConfigFile.h"
#include "tools/json/QvcJson.h"

#include <cstdint>
#include <cstdlib>

using namespace kaptiv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto json = nlohmann::json::parse(data, data + size, nullptr, false);
    if (json.is_discarded())
        return 0;
    std::string error;
    const std::vector<uint8_t> bytes = tools::QvcFromJson(json, error);
    if (!error.empty()) {
        if (!bytes.empty())
            std::abort();
        return 0;
    }
    const configfiles::ConfigReadResult read = configfiles::ParseConfigFile(bytes);
    if (!read.Ok() || bytes.size() > configfiles::kMaxFileBytes)
        std::abort();
    const std::vector<uint8_t> again = tools::QvcFromJson(tools::QvcToJson(read.entries), error);
    if (!error.empty() || again != bytes)
        std::abort();
    return 0;
}
