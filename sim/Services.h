#pragma once
// What the simulated tuners receive: per input a multiplex (transport stream id, original
// network id) and its services (id, name, TV or radio, crypted). The demo headend's inputs
// receive the multiplexes listed in fixtures/blocks/README.md; a rack file may give its own.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mulvane {

struct ReceivedService {
    uint16_t id = 0;
    std::string name; // UTF-8
    bool radio = false;
    bool crypted = false;

    bool operator==(const ReceivedService&) const = default;
};

struct InputReception {
    uint16_t transportStreamId = 0;
    uint16_t originalNetworkId = 0;
    std::vector<ReceivedService> services;
    // Antenna or cable connected: without a signal the input never locks.
    bool signal = true;
};

// The demo multiplexes of a tuner type, input by input (A, B, then C, which carries
// nothing of its own); none for the other types.
std::vector<InputReception> DefaultReception(uint8_t type);

// A multiplex for a tuning the rack file says nothing about: a few services whose ids,
// names and kinds follow from the tuning's bytes and the seed, so the same tuning always
// receives the same services.
InputReception GeneratedReception(std::span<const uint8_t> tuning, uint64_t seed);

// Text coded through the modules' character table: a byte per character, its index in the
// table from 32 upward (ASCII, the apostrophe as 34, Latin-1 from 161); characters the table
// lacks (the double quote, the soft hyphen, anything beyond Latin-1) are left out. No
// terminating 0.
std::vector<uint8_t> TableCodedText(const std::string& utf8);
// The reverse, for names the modules hold in their blocks: control bytes 0x01-0x1F and
// 0x80-0x9F are skipped, 34 reads as an apostrophe; result in UTF-8.
std::string TableCodedToUtf8(std::span<const uint8_t> bytes);

} // namespace mulvane
