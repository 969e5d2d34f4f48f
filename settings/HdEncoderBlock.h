#pragma once
// HdEncoderBlock (type 14, HD encoder "RkHD", channels A to D).
//
// Layout: change counter (u8); number of pass-through ids (u8) and the ids (u16 each); channels
// A to D, each: service id (u16), four words the editor does not show (u16 each), video bit rate
// (u16, kb/s), audio bit-rate index (u8), audio coding (u8: 0 "AAC", 1 "MPEG"), service name
// (table-coded).
//
// The module's block length is not a bound of this layout: bytes beyond the block read as 0.
#include "settings/BlockResult.h"
#include "settings/EncoderBlock.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::settings {

struct HdChannel {
    uint16_t serviceId = 1;
    std::array<uint16_t, 4> unseen{}; // written back as decoded
    uint16_t videoRateKbps = 9000;
    uint8_t audioIndex = 0;  // kEncoderAudioRates
    uint8_t audioCoding = 0; // 0 "AAC", 1 "MPEG"
    std::u32string name = U"No Name";
    bool operator==(const HdChannel&) const = default;
};

struct HdEncoderValues {
    uint8_t counter = 0;
    std::array<HdChannel, 4> channels{};
    // Decoded into the first list; written as one count over all five lists.
    std::array<std::vector<uint16_t>, 5> passThrough{};
    bool operator==(const HdEncoderValues&) const = default;
};

DecodeResult<HdEncoderValues> DecodeHdEncoderBlock(std::span<const uint8_t> block);
// Same change-counter rule as EncodeEncoderBlock.
EncodeResult EncodeHdEncoderBlock(HdEncoderValues& values, bool& changed);

} // namespace kaptiv::settings
