#pragma once
// ModulatorBlock: the parameter block of the modulators (COFDM types 2, 5, 6; QAM types 8, 11).
//
// Layout (n = number of services, big-endian):
//   0  u16  frequency of channel 1 in units of 125 kHz
//   2  u8   bandwidth code (1 = 7 MHz, 2 = 8 MHz)     3 u8 code rate     4 u8 constellation
//   5  u8   transmission mode   6 u8 guard interval   7 u8 output level byte (AttenuationSteps)
//   8  u8   n (a count above 100 reads as 0)
//   9       services: types 5, 6, 8, 11: n x (service id u16, channel byte: bits 0-3 output channel,
//           bit 7 descrambled upstream); type 2: n x service id u16, 0xFF, u16 mask whose bit j
//           marks service j as descrambled upstream
//           n x u16 logical channel number, n x u16 HD logical channel number (0 = none)
//           u16 original network id; u16 transport stream id (type 2) or 4 x u16 (one per channel)
//           u16 L = NIT section length + 2; L bytes: 0x00 0x00 and the NIT section (NitSection.h)
//           u8 "Remove CAT/EMM"; u16 network id; u16 symbol rate in kS/s (types 8 and 11 only)
//           n x u16 output service id; u8 watchdog
//
// A short block gives defaults for the fields it does not hold (decoding never carries values over
// from another module, except the radio settings at offsets 0-7, which a block of fewer than 8 bytes
// leaves at the previous values).
#include <cstdint>
#include <functional>
#include <span>

#include "settings/BlockResult.h"
#include "settings/ModulatorValues.h"

namespace kaptiv::settings {

inline constexpr uint8_t kType2ServiceListEnd = 0xFF; // between the ids and the mask of type 2
inline constexpr size_t kType2MaskBits = 16;

DecodeResult<ModulatorValues> DecodeModulatorBlock(uint8_t type, std::span<const uint8_t> block,
                                                   const ModulatorRadio& previousRadio = {});

// What encoding needs beyond the values: state held in the module record, not in the page.
// The descrambled-upstream marks follow the chain, not the page: after encoding, the editor sets
// them in the stored block of every modulator of the chain with MarkDescrambledUpstream.
struct ModulatorEncodeContext {
    // Bytes 0-1 of the block in the rack image: kept when the frequency fails the range check.
    uint16_t storedFrequencyWord = 0;

    static ModulatorEncodeContext FromStoredBlock(std::span<const uint8_t> block);
};

// Builds the block (NIT included). Refuses, with the reason, more than 100 services, an output
// channel beyond the 4-bit field, a type 2 service past the 16-bit mask marked descrambled, a
// level step outside 1 to 30, anything BuildNitSection refuses, and a block over 1024 bytes.
EncodeResult EncodeModulatorBlock(uint8_t type, const ModulatorValues& values,
                                  const ModulatorEncodeContext& context);

// Sets the descrambled-upstream mark of each service of a stored block to whether `isDescrambled`
// holds for its id, touching no other byte: bit 7 of the channel byte (types 5, 6, 8, 11) or the
// bit of the mask after the ids (type 2; its first 16 services only). A block too short to hold
// its service list, or counting more than 100 services, is left alone. Returns whether a byte
// changed.
bool MarkDescrambledUpstream(uint8_t type, std::span<uint8_t> block,
                             const std::function<bool(uint16_t)>& isDescrambled);

} // namespace kaptiv::settings
