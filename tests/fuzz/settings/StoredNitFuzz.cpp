// The stored NIT readers on arbitrary bytes: the summary the editor takes (version, name, LCN
// flavour) and the full section parser. Checks: no read outside the bytes (ASan); a section built
// from the summary reads back to the same summary and parses with a good CRC.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "settings/NitSection.h"

using namespace kaptiv::settings;

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const auto parsed = ParseNitSection(bytes);
    if (parsed.Ok())
        Check(parsed.values.sectionLength + 3u <= size);
    const StoredNitSummary summary = SummarizeStoredNit(bytes);
    Check(summary.version <= kMaxNitVersion);

    // The flavour is found by searching the whole section for the EACEM specifier, so a name that
    // itself holds those six bytes reads back as EACEM: a quirk kept from the modules' format.
    const std::u32string eacem = {0x5F, 0x04, 0x00, 0x00, 0x00, 0x28};
    if (summary.networkName.find(eacem) != std::u32string::npos)
        return 0;

    ModulatorValues values;
    values.nitVersion = summary.version;
    values.networkName = summary.networkName;
    values.lcnFlavour = summary.lcnFlavour;
    values.services = {{.serviceId = 1, .outputServiceId = 1, .channel = 1}}; // a PDS needs an entry
    const EncodeResult built = BuildNitSection(values, 1);
    Check(built.Ok());
    Check(SummarizeStoredNit(built.block) == summary);
    const auto reparsed = ParseNitSection(built.block);
    Check(reparsed.Ok() && reparsed.values.crcOk && reparsed.values.transportStreams.size() == 1);
    return 0;
}
