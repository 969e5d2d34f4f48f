#pragma once
// EncoderBlock (type 9, audio/video encoder "RkAV", channels A and B) and the pieces it shares
// with HdEncoderBlock: the change counter and the pass-through service ids.
//
// Layout: change counter (u8); channel A then B, each: service id (u16), three words the editor
// does not show (u16 each), video bit rate (u16, kb/s), audio bit-rate index (u8), service name
// (table-coded), video standard, picture aspect, brightness, contrast, saturation (u8 each); then
// the number of pass-through ids (u8) and the ids (u16 each).
//
// The module's block length is not a bound of this layout: bytes beyond the block read as 0.
#include "platform/Bytes.h"
#include "settings/BlockResult.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::settings {

inline constexpr size_t kMaxEncoderNameChars = 31;
inline constexpr size_t kMaxPassThroughIds = 255; // their count is one byte

// Audio bit rates in kb/s by audio index.
inline constexpr std::array<int, 5> kEncoderAudioRates = {128, 192, 256, 320, 384};

struct EncoderChannel {
    uint16_t serviceId = 1;
    std::array<uint16_t, 3> unseen{}; // written back as decoded
    uint16_t videoRateKbps = 4000;
    uint8_t audioIndex = 0; // kEncoderAudioRates
    std::u32string name;
    uint8_t standard = 0; // 0 "PAL", 1 "NTSC"
    uint8_t aspect = 0;   // 0 "4/3", 1 "16/9"
    uint8_t brightness = 0;
    uint8_t contrast = 0;
    uint8_t saturation = 0;
    bool operator==(const EncoderChannel&) const = default;
};

struct EncoderValues {
    uint8_t counter = 0; // change counter, compared with the module's status byte 0
    std::array<EncoderChannel, 2> channels{};
    // Services taken over from the modules before the encoder. A decode puts every id into the
    // first list; the encoder writes all three lists one after the other under one count.
    std::array<std::vector<uint16_t>, 3> passThrough{};
    bool operator==(const EncoderValues&) const = default;
};

// Refuses only a block over 1024 bytes.
DecodeResult<EncoderValues> DecodeEncoderBlock(std::span<const uint8_t> block);
// When `changed` is set, the counter advances (modulo 256) in `values` and `changed` is cleared;
// both are left alone when the encoding is refused.
EncodeResult EncodeEncoderBlock(EncoderValues& values, bool& changed);

// Shared with HdEncoderBlock.
uint8_t NextChangeCounter(uint8_t counter, bool changed);
// Pass-through lists travel as one count byte over all lists, then the ids (big-endian);
// they are read back into the first list. Empty when the lists fit the count byte.
std::string PassThroughProblem(std::span<const std::vector<uint16_t>> lists);
void WritePassThrough(std::span<const std::vector<uint16_t>> lists, platform::ByteWriter& out);
void ReadPassThrough(platform::ByteReader& in, std::vector<uint16_t>& first);

} // namespace kaptiv::settings
