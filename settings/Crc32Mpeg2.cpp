#include "settings/Crc32Mpeg2.h"

#include <array>

namespace kaptiv::settings {

namespace {

// One entry per value of the byte that enters at the top of the register.
constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 0x80000000u) ? (r << 1) ^ Crc32Mpeg2::kPolynomial : r << 1;
        table[i] = r;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

} // namespace

void Crc32Mpeg2::Add(uint8_t byte) {
    m_value = (m_value << 8) ^ kTable[((m_value >> 24) ^ byte) & 0xFF];
}

void Crc32Mpeg2::Add(std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes)
        Add(b);
}

} // namespace kaptiv::settings
