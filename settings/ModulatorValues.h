#pragma once
// The values the settings editor holds for a modulator (COFDM types 2, 5, 6; QAM types 8, 11),
// in engineering units. The wire units live only in ModulatorBlock.cpp and NitSection.cpp.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ModuleType.h"

namespace kaptiv::settings {

// Bandwidth codes as stored in the block (the page's list index is code - 1).
inline constexpr uint8_t kBandwidthCode6MHz = 0; // known to the summaries only
inline constexpr uint8_t kBandwidthCode7MHz = 1;
inline constexpr uint8_t kBandwidthCode8MHz = 2;

inline constexpr uint32_t kChannelSpacing7MHzKHz = 7000;
inline constexpr uint32_t kChannelSpacing8MHzKHz = 8000;

// Frequencies the modulators can put on the air: every channel within these bounds.
inline constexpr uint32_t kModulatorMinFrequencyKHz = 50000;
inline constexpr uint32_t kModulatorMaxFrequencyKHz = 860000;
// What the page puts in the frequency field when a bandwidth change leaves it out of range.
inline constexpr uint32_t kModulatorFallbackFrequencyKHz = 474000;

inline constexpr size_t kMaxModulatorServices = 100;
inline constexpr uint16_t kMaxLogicalChannelNumber = 1023; // 10 bits in the 0x83 / 0x88 descriptors
inline constexpr uint8_t kMaxNitVersion = 31;              // 5-bit version_number

// Which logical-channel convention the NIT follows; chooses its private data specifier.
enum class LcnFlavour : uint8_t { Eacem = 0, Itc = 1 };

struct ModulatorService {
    uint16_t serviceId = 0;
    uint16_t logicalChannel = 0;   // 0 = none
    uint16_t hdLogicalChannel = 0; // 0 = none
    uint16_t outputServiceId = 0;  // the id under which the service leaves the modulator
    uint8_t channel = 1;           // output channel 1 to 4 (always 1 on the single-channel type)
    bool descrambledUpstream = false;

    bool operator==(const ModulatorService&) const = default;
};

// Offsets 0 to 7 of the block: a block shorter than that leaves these at their previous values.
struct ModulatorRadio {
    uint32_t frequencyKHz =
        kModulatorFallbackFrequencyKHz; // channel 1; channel k is at frequency + (k - 1) x spacing
    uint8_t bandwidthCode = kBandwidthCode8MHz;
    uint8_t codeRate = 0;      // 0 "1/2", 1 "2/3", 2 "3/4", 3 "5/6", 4 "7/8"
    uint8_t constellation = 0; // COFDM: QPSK, QAM16, QAM64; QAM: QAM16, QAM32, QAM64, QAM128, QAM256
    uint8_t mode = 0;          // 0 "2K", 1 "8K"
    uint8_t guard = 0;         // 0 "1/32", 1 "1/16", 2 "1/8", 3 "1/4"
    uint8_t levelStep = 30;    // attenuation step 1 to 30, shown as step - 30 dB

    bool operator==(const ModulatorRadio&) const = default;
};

struct ModulatorValues {
    ModulatorRadio radio;
    std::vector<ModulatorService> services;
    uint16_t originalNetworkId = 8442;
    std::array<uint16_t, 4> transportStreamIds{100, 101, 102, 103}; // one per channel
    uint16_t networkId = 8442;
    uint8_t nitVersion = 5;
    std::u32string networkName; // broadcast as the low 8 bits of each character
    LcnFlavour lcnFlavour = LcnFlavour::Eacem;
    bool removeCatEmm = false;
    uint16_t symbolRateKSps = 0; // QAM types only
    bool watchdog = true;

    // The NIT section as last stored in the block (without its two leading zero bytes). Shown for
    // information; encoding always builds a fresh section from the values above.
    std::vector<uint8_t> storedNit;

    bool operator==(const ModulatorValues&) const = default;
};

constexpr bool IsQamModulatorType(uint8_t type) {
    return type == type::kModC2 || type == type::kModC4;
}

// Output channels of a modulator: 1 (type 2), 2 (types 5, 11), 4 (types 6, 8); 0 for other types.
constexpr int ModulatorChannelCount(uint8_t type) {
    return IsModulatorType(type) ? OutputChannelCount(type) : 0;
}

// Adjacent channels are one bandwidth apart: 7000 kHz for 7 MHz, 8000 kHz otherwise.
constexpr uint32_t ChannelSpacingKHz(uint8_t bandwidthCode) {
    return bandwidthCode == kBandwidthCode7MHz ? kChannelSpacing7MHzKHz : kChannelSpacing8MHzKHz;
}

// Channel numbers start at 1.
constexpr uint64_t ChannelFrequencyKHz(const ModulatorRadio& radio, int channel) {
    return radio.frequencyKHz +
           uint64_t(channel > 1 ? channel - 1 : 0) * ChannelSpacingKHz(radio.bandwidthCode);
}

// Every channel of the module must fall inside 50 to 860 MHz; otherwise the frequency is not written.
constexpr bool FrequencyInRange(const ModulatorRadio& radio, int channelCount) {
    return radio.frequencyKHz >= kModulatorMinFrequencyKHz &&
           ChannelFrequencyKHz(radio, channelCount) <= kModulatorMaxFrequencyKHz;
}

// QAM symbol rates the page shows without a warning: 4000 kS/s up to what the bandwidth carries
// (6090 kS/s in 7 MHz, 6960 in 8 MHz). Rates outside are still written.
inline constexpr uint16_t kMinSymbolRateKSps = 4000;
inline constexpr uint16_t kMaxSymbolRate7MHzKSps = 6090;
inline constexpr uint16_t kMaxSymbolRate8MHzKSps = 6960;

constexpr uint16_t MaxSymbolRateKSps(uint8_t bandwidthCode) {
    return bandwidthCode == kBandwidthCode7MHz ? kMaxSymbolRate7MHzKSps : kMaxSymbolRate8MHzKSps;
}

constexpr bool SymbolRateInRange(uint8_t bandwidthCode, uint16_t rateKSps) {
    return rateKSps >= kMinSymbolRateKSps && rateKSps <= MaxSymbolRateKSps(bandwidthCode);
}

} // namespace kaptiv::settings
