#include "sim/Md5.h"

#include <array>
#include <cmath>
#include <vector>

namespace mulvane {

namespace {

uint32_t Rol(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// T[i] = floor(2^32 * |sin(i + 1)|), RFC 1321 section 3.4; computed rather than tabled.
const std::array<uint32_t, 64>& SineTable() {
    static const std::array<uint32_t, 64> table = [] {
        std::array<uint32_t, 64> t{};
        for (int i = 0; i < 64; ++i)
            t[i] = static_cast<uint32_t>(std::floor(4294967296.0 * std::fabs(std::sin(double(i + 1)))));
        return t;
    }();
    return table;
}

} // namespace

std::string Md5Hex(std::span<const uint8_t> data) {
    static const int kRounds[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
    const auto& sine = SineTable();
    std::vector<uint8_t> message(data.begin(), data.end());
    const uint64_t bits = uint64_t{data.size()} * 8;
    message.push_back(0x80);
    while (message.size() % 64 != 56)
        message.push_back(0);
    for (int i = 0; i < 8; ++i)
        message.push_back(static_cast<uint8_t>(bits >> (8 * i)));

    uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    for (size_t block = 0; block < message.size(); block += 64) {
        uint32_t m[16];
        for (int i = 0; i < 16; ++i) {
            const uint8_t* p = &message[block + 4 * size_t(i)];
            m[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 64; ++i) {
            const int round = i / 16;
            uint32_t f = 0;
            int k = 0;
            switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                k = i;
                break;
            case 1:
                f = (b & d) | (c & ~d);
                k = (1 + 5 * i) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                k = (5 + 3 * i) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                k = (7 * i) % 16;
                break;
            }
            const uint32_t t = d;
            d = c;
            c = b;
            b = b + Rol(a + f + m[k] + sine[i], kRounds[round][i % 4]);
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (uint32_t word : h)
        for (int i = 0; i < 4; ++i) {
            const uint8_t byte = static_cast<uint8_t>(word >> (8 * i));
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    return out;
}

} // namespace mulvane
