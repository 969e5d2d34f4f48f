// Arbitrary text as the index "QVX.FRM" and its names: every name found is non-empty and
// without line ends; revisions are single digits; HD component names keep their shape.
#include "firmware/FirmwareFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kaptiv::firmware;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& name : ParseIndex(text)) {
        if (name.empty() || name.find('\n') != std::string::npos || name.size() > size)
            std::abort();
        if (const auto revision = HardwareRevisionFromName(name); revision && *revision > 9)
            std::abort();
        if (const auto hd = ParseHdComponentName(name); hd && (hd->release > 99 || hd->digest.size() != 32))
            std::abort();
    }
    (void)HardwareRevisionFromName(text);
    (void)ParseHdComponentName(text);
    return 0;
}
