#include "settings/NitSection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "settings/Crc32Mpeg2.h"

namespace kaptiv::settings {
namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    std::istringstream in(hex);
    std::string byte;
    while (in >> byte)
        out.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    return out;
}

// Both sides side by side, 16 bytes a line, differing bytes marked.
std::string HexDiff(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
    std::string out = "offset  expected | actual\n";
    char cell[24];
    for (size_t row = 0; row < std::max(expected.size(), actual.size()); row += 16) {
        std::snprintf(cell, sizeof cell, "%04zx  ", row);
        out += cell;
        for (const auto* side : {&expected, &actual}) {
            for (size_t i = row; i < row + 16; ++i) {
                const bool differs = i >= expected.size() || i >= actual.size() || expected[i] != actual[i];
                if (i < side->size())
                    std::snprintf(cell, sizeof cell, "%02X%c", (*side)[i], differs ? '*' : ' ');
                else
                    std::snprintf(cell, sizeof cell, "   ");
                out += cell;
            }
            out += side == &expected ? "| " : "\n";
        }
    }
    return out;
}

ModulatorService Service(uint16_t id, uint8_t channel, uint16_t lcn, uint16_t hdLcn, uint16_t outputId) {
    return {.serviceId = id,
            .logicalChannel = lcn,
            .hdLogicalChannel = hdLcn,
            .outputServiceId = outputId,
            .channel = channel};
}

// A two-channel COFDM modulator in a hotel: 474 and 482 MHz, 8 MHz, QAM64, 3/4, 8K, 1/8.
ModulatorValues HotelValues() {
    ModulatorValues v;
    v.radio = {.frequencyKHz = 474000,
               .bandwidthCode = kBandwidthCode8MHz,
               .codeRate = 2,
               .constellation = 2,
               .mode = 1,
               .guard = 2,
               .levelStep = 25};
    v.services = {Service(1001, 1, 1, 0, 1001), Service(1002, 1, 2, 21, 2002), Service(1003, 2, 0, 0, 1003)};
    v.originalNetworkId = 8442;
    v.transportStreamIds = {100, 101, 102, 103};
    v.networkId = 12289;
    v.nitVersion = 7;
    v.networkName = U"Hotel Alpen";
    v.lcnFlavour = LcnFlavour::Eacem;
    return v;
}

TEST(NitSection, GoldenBytesOfATwoChannelModulator) {
    const std::vector<uint8_t> expected = FromHex(
        // table_id, section_length 0x069, network_id 12289, version 7 current, section 0 of 0
        "40 F0 69  30 01  CF  00 00 "
        // network loop 13: network_name_descriptor "Hotel Alpen"
        "F0 0D  40 0B 48 6F 74 65 6C 20 41 6C 70 65 6E "
        // transport stream loop 0x4F
        "F0 4F "
        // channel 2 first: TS 101, ONID 8442, 24 bytes of descriptors
        "00 65 20 FA F0 18 "
        "5F 04 00 00 00 28 "                      // private data specifier EACEM
        "5A 0B 02 DF 79 40 1F 82 52 FF FF FF FF " // 482000 kHz, 8 MHz, QAM64 3/4, 1/8 8K
        "41 03 03 EB 01 "                         // service 1003, digital television
        // channel 1: TS 100, 43 bytes of descriptors
        "00 64 20 FA F0 2B "
        "5F 04 00 00 00 28 "
        "83 08 03 E9 FC 01 07 D2 FC 02 "          // LCN 1 -> 1001, LCN 2 -> 2002
        "88 04 07 D2 FC 15 "                      // HD LCN 21 -> 2002
        "5A 0B 02 D3 44 40 1F 82 52 FF FF FF FF " // 474000 kHz
        "41 06 03 E9 01 07 D2 01 "
        "E3 77 AB B7"); // CRC-32/MPEG-2
    const EncodeResult built = BuildNitSection(HotelValues(), 2);
    ASSERT_TRUE(built.Ok()) << built.error;
    EXPECT_TRUE(built.block == expected) << HexDiff(expected, built.block);
}

TEST(NitSection, OnlyUsedChannelsHighestFirst) {
    ModulatorValues v = HotelValues();
    v.services = {Service(10, 1, 5, 0, 10), Service(30, 3, 7, 0, 30), Service(31, 3, 8, 0, 31)};
    const EncodeResult built = BuildNitSection(v, 4);
    ASSERT_TRUE(built.Ok()) << built.error;
    const auto parsed = ParseNitSection(built.block);
    ASSERT_TRUE(parsed.Ok()) << parsed.error;
    EXPECT_TRUE(parsed.values.crcOk);
    ASSERT_EQ(parsed.values.transportStreams.size(), 2u);
    const NitTransportStream& first = parsed.values.transportStreams[0];
    EXPECT_EQ(first.transportStreamId, 102);
    EXPECT_EQ(first.originalNetworkId, 8442);
    EXPECT_EQ(parsed.values.transportStreams[1].transportStreamId, 100);
    ASSERT_EQ(first.descriptors.size(), 4u); // PDS, 0x83, 0x5A, 0x41 (no HD numbers)
    EXPECT_EQ(first.descriptors[1].tag, kTagLogicalChannel);
    ASSERT_EQ(first.descriptors[1].logicalChannels.size(), 2u);
    EXPECT_EQ(first.descriptors[1].logicalChannels[1].serviceId, 31);
    EXPECT_EQ(first.descriptors[1].logicalChannels[1].number, 8);
    EXPECT_TRUE(first.descriptors[1].logicalChannels[1].visible);
    ASSERT_TRUE(first.descriptors[2].delivery.has_value());
    EXPECT_EQ(first.descriptors[2].delivery->centreFrequency10Hz, 49000000u); // 474 + 2 x 8 MHz
}

TEST(NitSection, LogicalChannelDescriptorsOnlyWhenNeeded) {
    ModulatorValues v = HotelValues();
    v.lcnFlavour = LcnFlavour::Itc;
    v.radio.bandwidthCode = kBandwidthCode7MHz;
    v.services = {Service(1, 1, 0, 0, 1), Service(2, 1, 0, 0, 2)};
    const EncodeResult built = BuildNitSection(v, 2);
    ASSERT_TRUE(built.Ok()) << built.error;
    const auto parsed = ParseNitSection(built.block);
    ASSERT_TRUE(parsed.Ok()) << parsed.error;
    ASSERT_EQ(parsed.values.transportStreams.size(), 1u);
    const auto& descriptors = parsed.values.transportStreams[0].descriptors;
    ASSERT_EQ(descriptors.size(), 3u);
    EXPECT_EQ(descriptors[0].privateDataSpecifier, kPrivateDataSpecifierItc);
    EXPECT_EQ(descriptors[1].tag, kTagTerrestrialDelivery);
    EXPECT_EQ(descriptors[1].delivery->bandwidth, 1); // 7 MHz
    EXPECT_EQ(descriptors[2].tag, kTagServiceList);
}

TEST(NitSection, RefusesValuesThatDoNotFitTheirFields) {
    ModulatorValues v = HotelValues();
    v.services[0].logicalChannel = 1023;
    EXPECT_TRUE(BuildNitSection(v, 2).Ok());
    v.services[0].logicalChannel = 1024; // would broadcast as channel 0 of the next bank
    EXPECT_NE(BuildNitSection(v, 2).error.find("1024"), std::string::npos);
    v.services[0].logicalChannel = 1;
    v.services[1].hdLogicalChannel = 5000;
    EXPECT_FALSE(BuildNitSection(v, 2).Ok());

    v = HotelValues();
    v.nitVersion = 32;
    EXPECT_FALSE(BuildNitSection(v, 2).Ok());

    // 86 services on one channel: a service list descriptor of 258 bytes.
    v = HotelValues();
    v.services.clear();
    for (uint16_t id = 1; id <= 86; ++id)
        v.services.push_back(Service(id, 1, 0, 0, id));
    EXPECT_NE(BuildNitSection(v, 2).error.find("service list descriptor"), std::string::npos);
    v.services.pop_back();
    EXPECT_TRUE(BuildNitSection(v, 2).Ok());

    // 4 channels of 25 services with both numbers: each entry ~300 bytes, 1200 in all.
    v = HotelValues();
    v.services.clear();
    for (uint16_t id = 1; id <= 100; ++id)
        v.services.push_back(Service(id, static_cast<uint8_t>(1 + id % 4), id, id, id));
    const EncodeResult tooLong = BuildNitSection(v, 4);
    EXPECT_NE(tooLong.error.find("1021"), std::string::npos) << tooLong.error;
    EXPECT_TRUE(tooLong.block.empty());
}

TEST(NitSection, StoredSummaryReadsBackVersionNameAndFlavour) {
    const StoredNitSummary empty = SummarizeStoredNit({});
    EXPECT_EQ(empty.version, 5);
    EXPECT_EQ(empty.lcnFlavour, LcnFlavour::Eacem);
    EXPECT_TRUE(empty.networkName.empty());

    ModulatorValues v = HotelValues();
    v.nitVersion = 31;
    v.lcnFlavour = LcnFlavour::Itc;
    v.networkName = U"\x86R\u00e9seau\x87";
    const EncodeResult built = BuildNitSection(v, 2);
    ASSERT_TRUE(built.Ok());
    const StoredNitSummary summary = SummarizeStoredNit(built.block);
    EXPECT_EQ(summary.version, 31);
    EXPECT_EQ(summary.lcnFlavour, LcnFlavour::Itc);
    EXPECT_EQ(summary.networkName, U"R\u00e9seau"); // emphasis controls dropped

    // A section cut inside its name still gives what is there.
    const std::vector<uint8_t> cut(built.block.begin(), built.block.begin() + 14);
    EXPECT_EQ(SummarizeStoredNit(cut).networkName, U"R");
}

TEST(NitSection, ParseRefusesInconsistentLengths) {
    const EncodeResult built = BuildNitSection(HotelValues(), 2);
    ASSERT_TRUE(built.Ok());
    for (size_t size = 0; size < built.block.size(); ++size) {
        const std::vector<uint8_t> cut(built.block.begin(), built.block.begin() + size);
        EXPECT_FALSE(ParseNitSection(cut).Ok()) << size;
    }
    std::vector<uint8_t> corrupt = built.block;
    corrupt[30] = 0xFF; // the first transport stream's descriptor loop length
    EXPECT_FALSE(ParseNitSection(corrupt).Ok());
    corrupt = built.block;
    corrupt[12] ^= 0x01;
    const auto parsed = ParseNitSection(corrupt);
    ASSERT_TRUE(parsed.Ok());
    EXPECT_FALSE(parsed.values.crcOk);
}

} // namespace
} // namespace kaptiv::settings
