#include "platform/Bytes.h"

#include <cstdio>

namespace kaptiv::platform {

std::string HexDump(std::span<const uint8_t> bytes, size_t maxBytes) {
    std::string out;
    char hex[4];
    for (size_t i = 0; i < bytes.size() && i < maxBytes; ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", bytes[i]);
        out += hex;
    }
    if (bytes.size() > maxBytes)
        out += " ...";
    return out;
}

} // namespace kaptiv::platform
