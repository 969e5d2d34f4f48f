#include "sim/DemoBlocks.h"

#include "sim/Protocol.h"
#include "sim/Rack.h"

#include <map>
#include <string>

namespace mulvane {

std::vector<uint8_t> StandInBlockFor(uint8_t type) {
    switch (type) {
    case kTypeSatTuner:
    case kTypeSatTunerB:
        // One input section: 11778 MHz high band (0x8000 | 1178), 27500 kS/s, FEC 3/4,
        // two services in the clear.
        return {0x84, 0x9A, 0x6B, 0x6C, 0x10, 0x02, 0x01, 0x01, 0x01, 0x02, 0x00, 0x00};
    case kTypeTwinSatTuner:
    case kTypeTwinSatTunerB:
        // Sections A (11493 MHz H, 22000 kS/s, three services, the first descrambled by CAM 1),
        // B (10832 MHz V, nothing selected) and C (empty); the tail is left to its defaults.
        return {0x83, 0x7D, 0x55, 0xF0, 0x80, 0x03, 0x27, 0x11, 0x27, 0x12, 0x27, 0x13, 0x01, 0x00,
                0x00, 0x00, 0xE8, 0x55, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    case kTypeTerrestrialTuner:
        // Terrestrial: sections carry no satellite tuning; two services on input A.
        return {0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x10, 0x41, 0x10, 0x42, 0x00, 0x00,
                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    case kTypeAvEncoder:
        // Change counter, then channel names and ids.
        return {0x00, 0x01, 0x41, 0x56, 0x20, 0x31, 0x00, 0x00, 0x02, 0x41, 0x56, 0x20, 0x32, 0x00};
    case kTypeHdEncoder:
        return {0x00, 0x03, 0x01, 0x48, 0x44, 0x20, 0x31, 0x00, 0x03, 0x02, 0x48, 0x44, 0x20, 0x32, 0x00};
    case kTypeCofdm1:
    case kTypeCofdm2:
    case kTypeCofdm4:
    case kTypeQam4:
    case kTypeQam2:
        // Output channel frequency in kHz (474000 = channel 21), then a network name.
        return {0x00, 0x07, 0x3B, 0x90, 0x00, 0x01, 0x48, 0x45, 0x41, 0x44, 0x45, 0x4E, 0x44, 0x00};
    case kTypeIpStreamer:
        // First stream target 239.1.1.1:1234.
        return {0xEF, 0x01, 0x01, 0x01, 0x04, 0xD2, 0x00, 0x01};
    default:
        return {}; // controller and CI module have no settings block
    }
}

std::vector<uint8_t> DemoBlockFor(uint8_t type) {
    // Parsed once: every rack built in the process starts from the same blocks.
    static const std::map<int, std::vector<uint8_t>> parsed = [] {
        std::map<int, std::vector<uint8_t>> blocks;
        for (const EmbeddedFixture& fixture : EmbeddedFixtures()) {
            if (fixture.fileName != "type-" + std::to_string(fixture.type) + ".hex")
                continue; // variants are for tests
            std::string error;
            if (auto bytes = ParseHexText(std::string(fixture.text), error))
                blocks[fixture.type] = std::move(*bytes);
        }
        return blocks;
    }();
    auto it = parsed.find(type);
    return it != parsed.end() ? it->second : StandInBlockFor(type);
}

} // namespace mulvane
