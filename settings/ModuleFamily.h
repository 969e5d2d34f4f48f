#pragma once
// Which parameter block layout each module type uses. Type codes are the one-byte codes the
// modules report when identified.
#include <cstdint>

namespace kaptiv::settings {

inline constexpr uint8_t kTypePowerSupply = 0;     // "RkPSU"
inline constexpr uint8_t kTypeSat1_0 = 1;          // "RkSat1.0"
inline constexpr uint8_t kTypeModT1 = 2;           // "RkModT1"
inline constexpr uint8_t kTypeCommonInterface = 3; // "RkCI"
inline constexpr uint8_t kTypeSat1 = 4;            // "RkSat1"
inline constexpr uint8_t kTypeModT2 = 5;           // "RkModT2"
inline constexpr uint8_t kTypeModT4 = 6;           // "RkModT4"
inline constexpr uint8_t kTypeSat2_0 = 7;          // "RkSat2.0"
inline constexpr uint8_t kTypeModC4 = 8;           // "RkModC4"
inline constexpr uint8_t kTypeAvEncoder = 9;       // "RkAV"
inline constexpr uint8_t kTypeSat2 = 10;           // "RkSat2"
inline constexpr uint8_t kTypeModC2 = 11;          // "RkModC2"
inline constexpr uint8_t kTypeTerrestrial = 12;    // "QVXCT2"
inline constexpr uint8_t kTypeIpStreamer = 13;     // "QVXIP"
inline constexpr uint8_t kTypeHdEncoder = 14;      // "RkHD"

enum class BlockLayout {
    None,        // power supply, common-interface module, unknown codes: nothing to edit
    SingleTuner, // TunerBlock with one input section
    DualTuner,   // TunerBlock with sections A, B, C and the extended tail
    Encoder,     // EncoderBlock
    HdEncoder,   // HdEncoderBlock
    Modulator,   // ModulatorBlock
    IpStreamer,  // IpStreamerBlock
};

constexpr BlockLayout LayoutOfType(uint8_t type) {
    switch (type) {
    case kTypeSat1_0:
    case kTypeSat1:
        return BlockLayout::SingleTuner;
    case kTypeSat2_0:
    case kTypeSat2:
    case kTypeTerrestrial:
        return BlockLayout::DualTuner;
    case kTypeAvEncoder:
        return BlockLayout::Encoder;
    case kTypeHdEncoder:
        return BlockLayout::HdEncoder;
    case kTypeModT1:
    case kTypeModT2:
    case kTypeModT4:
    case kTypeModC4:
    case kTypeModC2:
        return BlockLayout::Modulator;
    case kTypeIpStreamer:
        return BlockLayout::IpStreamer;
    default:
        return BlockLayout::None;
    }
}

constexpr bool IsTunerType(uint8_t type) {
    const BlockLayout layout = LayoutOfType(type);
    return layout == BlockLayout::SingleTuner || layout == BlockLayout::DualTuner;
}

// Number of input sections of a tuner block: 1 for types 1 and 4, 3 (A, B, C) for 7, 10, 12.
constexpr int TunerSectionCount(uint8_t type) {
    switch (LayoutOfType(type)) {
    case BlockLayout::SingleTuner:
        return 1;
    case BlockLayout::DualTuner:
        return 3;
    default:
        return 0;
    }
}

} // namespace kaptiv::settings
