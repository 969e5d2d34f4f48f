#include "configfiles/KeptBytes.h"

#include "platform/ModuleType.h"

#include <algorithm>

namespace kaptiv::configfiles {

namespace {

constexpr size_t kSectionHeaderBytes = 6;     // frequency word, symbol rate, mode, service count
constexpr size_t kBytesPerSectionService = 3; // id (2) + CAM number (1)
constexpr size_t kScheduleTimesBytes = 8;     // start and end, 4 bytes each

// Advances over a text ended by a 0 byte; false when the block ends first.
bool SkipText(std::span<const uint8_t> block, size_t& pos) {
    while (pos < block.size()) {
        if (block[pos++] == 0)
            return true;
    }
    return false;
}

bool Skip(std::span<const uint8_t> block, size_t& pos, size_t n) {
    if (n > block.size() - pos)
        return false;
    pos += n;
    return true;
}

} // namespace

bool HoldsKeptBytes(uint8_t code) {
    return code == type::kSat2_0 || code == type::kSat2 || code == type::kTerrestrial;
}

std::optional<size_t> KeptBytesOffset(uint8_t code, std::span<const uint8_t> block) {
    if (!HoldsKeptBytes(code))
        return std::nullopt;
    size_t pos = 0;
    for (int section = 0; section < TunerSectionCount(code); ++section) {
        if (!Skip(block, pos, kSectionHeaderBytes))
            return std::nullopt;
        const size_t services = block[pos - 1];
        if (!Skip(block, pos, services * kBytesPerSectionService))
            return std::nullopt;
    }
    if (!Skip(block, pos, 2) || pos >= block.size()) // streaming service id, schedule count
        return std::nullopt;
    const size_t entries = block[pos++];
    for (size_t i = 0; i < entries; ++i) {
        if (!Skip(block, pos, kScheduleTimesBytes) || !SkipText(block, pos))
            return std::nullopt;
    }
    if (!Skip(block, pos, 1) || !SkipText(block, pos)) // play-out rate, streamed service name
        return std::nullopt;
    return pos;
}

bool CarryKeptBytes(uint8_t code, std::span<const uint8_t> live, std::vector<uint8_t>& loaded) {
    const std::optional<size_t> from = KeptBytesOffset(code, live);
    if (!from || kKeptByteCount > live.size() - *from)
        return false;
    const std::optional<size_t> to = KeptBytesOffset(code, loaded);
    if (!to || kKeptByteCount > loaded.size() - *to)
        return false;
    std::copy_n(live.begin() + static_cast<std::ptrdiff_t>(*from), kKeptByteCount,
                loaded.begin() + static_cast<std::ptrdiff_t>(*to));
    return true;
}

} // namespace kaptiv::configfiles
