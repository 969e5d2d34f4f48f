#pragma once
// CRC-32/MPEG-2, the checksum that ends every MPEG-2 / DVB section (ISO/IEC 13818-1 annex A,
// EN 300 468): polynomial 0x04C11DB7, initial value 0xFFFFFFFF, bits taken most significant
// first (no reflection), no final inversion. Check value for "123456789": 0x0376E6E7.
#include <cstddef>
#include <cstdint>
#include <span>

namespace kaptiv::settings {

class Crc32Mpeg2 {
public:
    static constexpr uint32_t kPolynomial = 0x04C11DB7;
    static constexpr uint32_t kInitial = 0xFFFFFFFF;

    // Data may come in any number of pieces; the value is that of their concatenation.
    void Add(std::span<const uint8_t> bytes);
    void Add(uint8_t byte);
    uint32_t Value() const { return m_value; }
    void Reset() { m_value = kInitial; }

    static uint32_t Of(std::span<const uint8_t> bytes) {
        Crc32Mpeg2 crc;
        crc.Add(bytes);
        return crc.Value();
    }

private:
    uint32_t m_value = kInitial;
};

} // namespace kaptiv::settings
