// A configuration file chosen by the installer: whatever its bytes, the loader either refuses
// it whole with a reason or gives at most 15 entries of at most 1024 bytes that write back to
// the same bytes, and the summary and the kept-bytes walk stay inside every block.
#include "configfiles/ConfigFile.h"
#include "configfiles/ConfigSummary.h"
#include "configfiles/KeptBytes.h"
#include "text/Language.h"

#include <cstdint>
#include <cstdlib>

using namespace kaptiv::configfiles;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const ConfigReadResult read = ParseConfigFile(bytes);
    if (!read.Ok()) {
        if (!read.entries.empty() || DescribeProblem(read).empty())
            std::abort();
        return 0;
    }
    if (read.entries.size() > kMaxEntries)
        std::abort();
    std::string error;
    const std::vector<uint8_t> again = BuildConfigFile(read.entries, error);
    if (!error.empty() || again != std::vector<uint8_t>(bytes.begin(), bytes.end()))
        std::abort();
    std::vector<uint8_t> types;
    for (const ConfigEntry& e : read.entries) {
        if (e.block.size() > kMaxBlockBytes)
            std::abort();
        types.push_back(e.type);
    }
    const std::string summary = ConfigSummary(read.entries, std::span<const uint8_t>(types), 3);
    if (summary.rfind(kaptiv::text::LocalizedText(row::kMatches, 3), 0) != 0)
        std::abort();
    // Each block in turn as the live block of a dual tuner, the next as the loaded one.
    for (size_t i = 0; i + 1 < read.entries.size(); ++i) {
        std::vector<uint8_t> loaded = read.entries[i + 1].block;
        const std::optional<size_t> at = KeptBytesOffset(7, read.entries[i].block);
        if (at && *at > read.entries[i].block.size())
            std::abort();
        CarryKeptBytes(12, read.entries[i].block, loaded);
        if (loaded.size() != read.entries[i + 1].block.size())
            std::abort();
    }
    return 0;
}
