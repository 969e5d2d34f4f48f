#pragma once
// The network information section (EN 300 468, 5.2.1, NIT actual network) that the editor builds
// for a modulator and the module broadcasts unchanged, stored inside the ModulatorBlock.
//
// Built layout: network_name_descriptor in the network loop; one transport stream entry per
// output channel that carries a service, highest channel first, each with a private data
// specifier (EACEM or ITC), the logical channel descriptors 0x83 / 0x88 when a service of the
// channel has such a number, a terrestrial delivery system descriptor (written for the QAM types
// too, as installed modules have always broadcast it) and a service list descriptor; CRC-32/MPEG-2
// last.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "settings/BlockResult.h"
#include "settings/ModulatorValues.h"

namespace kaptiv::settings {

inline constexpr uint8_t kTableIdNitActual = 0x40;
inline constexpr uint8_t kTagNetworkName = 0x40;
inline constexpr uint8_t kTagServiceList = 0x41;
inline constexpr uint8_t kTagTerrestrialDelivery = 0x5A;
inline constexpr uint8_t kTagPrivateDataSpecifier = 0x5F;
inline constexpr uint8_t kTagLogicalChannel = 0x83;            // EACEM / ITC private descriptor
inline constexpr uint8_t kTagHdSimulcastLogicalChannel = 0x88; // EACEM / ITC private descriptor
inline constexpr uint32_t kPrivateDataSpecifierEacem = 0x00000028;
inline constexpr uint32_t kPrivateDataSpecifierItc = 0x0000233A;

inline constexpr size_t kMaxNitSectionLength = 1021; // section_length limit of EN 300 468
inline constexpr size_t kMaxDescriptorLength = 255;

// Builds the whole section, CRC included, into `block` of the result. Refuses, with the reason,
// a logical channel number above 1023, a version above 31, a descriptor longer than 255 bytes, a
// channel frequency beyond the 32-bit centre_frequency field and a section_length above 1021.
EncodeResult BuildNitSection(const ModulatorValues& values, int channelCount);

// What the editor reads back from a stored section. An empty or short section gives the
// defaults: version 5, no name, EACEM.
struct StoredNitSummary {
    uint8_t version = 5;
    std::u32string networkName;
    LcnFlavour lcnFlavour = LcnFlavour::Eacem;

    bool operator==(const StoredNitSummary&) const = default;
};

// version := bits 1 to 5 of the version byte; name := the bytes of the first network descriptor
// without the emphasis controls 0x86 / 0x87; EACEM when the EACEM private data specifier
// descriptor occurs anywhere in the bytes (or there are none), ITC otherwise.
StoredNitSummary SummarizeStoredNit(std::span<const uint8_t> section);

// A full reading of a section, for display and checks.
struct NitLogicalChannel {
    uint16_t serviceId = 0;
    bool visible = false;
    uint16_t number = 0; // 10 bits
};

struct NitServiceEntry {
    uint16_t serviceId = 0;
    uint8_t serviceType = 0;
};

struct NitTerrestrialDelivery {
    uint32_t centreFrequency10Hz = 0;
    uint8_t bandwidth = 0; // 0 = 8 MHz, 1 = 7 MHz, 2 = 6 MHz
    uint8_t constellation = 0;
    uint8_t hierarchy = 0;
    uint8_t codeRateHp = 0;
    uint8_t codeRateLp = 0;
    uint8_t guard = 0;
    uint8_t mode = 0;
    bool otherFrequency = false;
};

struct NitDescriptor {
    uint8_t tag = 0;
    std::vector<uint8_t> payload;
    // Filled for the descriptors the editor writes, by tag.
    std::u32string networkName;                     // 0x40, emphasis controls removed
    std::optional<uint32_t> privateDataSpecifier;   // 0x5F
    std::vector<NitLogicalChannel> logicalChannels; // 0x83, 0x88
    std::optional<NitTerrestrialDelivery> delivery; // 0x5A
    std::vector<NitServiceEntry> services;          // 0x41
};

struct NitTransportStream {
    uint16_t transportStreamId = 0;
    uint16_t originalNetworkId = 0;
    std::vector<NitDescriptor> descriptors;
};

struct NitSectionFields {
    uint8_t tableId = 0;
    uint16_t sectionLength = 0;
    uint16_t networkId = 0;
    uint8_t version = 0;
    bool currentNext = false;
    uint8_t sectionNumber = 0;
    uint8_t lastSectionNumber = 0;
    std::vector<NitDescriptor> networkDescriptors;
    std::vector<NitTransportStream> transportStreams;
    uint32_t crc = 0;
    bool crcOk = false;
};

// Refuses (with where it stopped) a section whose lengths do not fit inside each other.
DecodeResult<NitSectionFields> ParseNitSection(std::span<const uint8_t> section);

} // namespace kaptiv::settings
