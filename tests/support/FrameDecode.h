#pragma once
// An independent reading of what the link wrote on the serial line, for assertions.
#include <cstdint>
#include <optional>
#include <vector>

namespace kaptiv::test {

struct SentFrame {
    uint8_t destination = 0;
    uint8_t source = 0;
    uint8_t control = 0;
    std::vector<uint8_t> data;
    bool checksumOk = false;
};

// Undoes the stuffing (every 0x02 after the address bytes is doubled) and splits the frame.
inline std::optional<SentFrame> DecodeSentFrame(const std::vector<uint8_t>& wire) {
    if (wire.size() < 5 || wire[0] != 0x02)
        return std::nullopt;
    std::vector<uint8_t> body;
    for (size_t i = 3; i < wire.size(); ++i) {
        body.push_back(wire[i]);
        if (wire[i] == 0x02) {
            if (i + 1 >= wire.size() || wire[i + 1] != 0x02)
                return std::nullopt;
            ++i;
        }
    }
    SentFrame f;
    f.destination = wire[1];
    f.source = wire[2];
    f.control = body[0];
    size_t pos = 1;
    size_t length = f.control & 0x03;
    if (f.control & 0x08) {
        if (body.size() < 3)
            return std::nullopt;
        length += 256u * body[1] + body[2];
        pos = 3;
    } else if (f.control & 0x04) {
        if (body.size() < 2)
            return std::nullopt;
        length += body[1];
        pos = 2;
    }
    if (body.size() != pos + length + 1)
        return std::nullopt;
    f.data.assign(body.begin() + static_cast<long>(pos), body.begin() + static_cast<long>(pos + length));
    uint8_t x = 0;
    for (uint8_t b : body)
        x ^= b;
    f.checksumOk = x == 0;
    return f;
}

// A module's answer, built by hand the way a module builds it.
inline std::vector<uint8_t> ModuleAnswer(uint8_t source, uint8_t kind, const std::vector<uint8_t>& data,
                                         uint8_t destination = 0xFD) {
    std::vector<uint8_t> body;
    const size_t n = data.size();
    if (n <= 3) {
        body.push_back(static_cast<uint8_t>(kind | n));
    } else if (n <= 255) {
        body.push_back(kind | 0x04);
        body.push_back(static_cast<uint8_t>(n));
    } else {
        body.push_back(kind | 0x08);
        body.push_back(static_cast<uint8_t>(n >> 8));
        body.push_back(static_cast<uint8_t>(n));
    }
    body.insert(body.end(), data.begin(), data.end());
    uint8_t x = 0;
    for (uint8_t b : body)
        x ^= b;
    body.push_back(x);
    std::vector<uint8_t> wire{0x02, destination, source};
    for (uint8_t b : body) {
        wire.push_back(b);
        if (b == 0x02)
            wire.push_back(b);
    }
    return wire;
}

} // namespace kaptiv::test
