// Hex text from files people write: refused or read, never a crash, and what is read
// prints back as hex text that reads the same.
#include "platform/HexText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto result = kaptiv::platform::ParseHexText(text);
    if (!result.Ok()) {
        if (result.line < 1 || result.error.empty() || !result.bytes.empty())
            std::abort();
        return 0;
    }
    std::string again;
    for (uint8_t byte : result.bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", byte);
        again += pair;
    }
    if (kaptiv::platform::ParseHexText(again).bytes != result.bytes)
        std::abort();
    return 0;
}
