#include "settings/ModulatorBlock.h"

#include <gtest/gtest.h>

namespace kaptiv::settings {
namespace {

ModulatorValues TwoServices() {
    ModulatorValues v;
    v.radio = {.frequencyKHz = 474000,
               .bandwidthCode = kBandwidthCode8MHz,
               .codeRate = 1,
               .constellation = 2,
               .mode = 1,
               .guard = 3,
               .levelStep = 20};
    v.services = {{.serviceId = 0x1234,
                   .logicalChannel = 5,
                   .hdLogicalChannel = 0,
                   .outputServiceId = 0x1234,
                   .channel = 1,
                   .descrambledUpstream = true},
                  {.serviceId = 0x0456,
                   .logicalChannel = 0,
                   .hdLogicalChannel = 30,
                   .outputServiceId = 0x0999,
                   .channel = 1}};
    v.originalNetworkId = 0x20FA;
    v.transportStreamIds = {0x0101, 0x0102, 0x0103, 0x0104};
    v.networkId = 0x3001;
    v.nitVersion = 9;
    v.networkName = U"Camping";
    v.removeCatEmm = true;
    v.watchdog = false;
    return v;
}

TEST(ModulatorBlock, FrequencyFailingTheRangeCheckKeepsTheStoredWord) {
    ModulatorValues v = TwoServices();
    v.radio.frequencyKHz = 858000;                    // channel 4 would be on 882000 kHz
    const std::vector<uint8_t> stored = {0x0E, 0x88}; // 3720 x 125 kHz = 465 MHz
    const EncodeResult four =
        EncodeModulatorBlock(type::kModT4, v, ModulatorEncodeContext::FromStoredBlock(stored));
    ASSERT_TRUE(four.Ok()) << four.error;
    EXPECT_EQ(four.block[0], 0x0E);
    EXPECT_EQ(four.block[1], 0x88);
    // One channel at 858 MHz is on the air: 6864 x 125 kHz.
    const EncodeResult one =
        EncodeModulatorBlock(type::kModT1, v, ModulatorEncodeContext::FromStoredBlock(stored));
    ASSERT_TRUE(one.Ok()) << one.error;
    EXPECT_EQ((one.block[0] << 8) | one.block[1], 6864);
    // Lower bound, and 7 MHz spacing lets four channels fit under 860 MHz from 839 MHz.
    v.radio.frequencyKHz = 49875;
    EXPECT_FALSE(FrequencyInRange(v.radio, 1));
    v.radio = {.frequencyKHz = 839000, .bandwidthCode = kBandwidthCode7MHz};
    EXPECT_TRUE(FrequencyInRange(v.radio, 4));
}

TEST(ModulatorBlock, SymbolRateOutsideTheBandwidthIsFlaggedButStillWritten) {
    EXPECT_TRUE(SymbolRateInRange(kBandwidthCode8MHz, 6960));
    EXPECT_FALSE(SymbolRateInRange(kBandwidthCode8MHz, 6961));
    EXPECT_FALSE(SymbolRateInRange(kBandwidthCode8MHz, 3999));
    EXPECT_FALSE(SymbolRateInRange(kBandwidthCode7MHz, 6091));
    ModulatorValues v = TwoServices();
    v.symbolRateKSps = 6961;
    const EncodeResult built = EncodeModulatorBlock(type::kModC4, v, {});
    ASSERT_TRUE(built.Ok()) << built.error;
    EXPECT_EQ(DecodeModulatorBlock(type::kModC4, built.block).values.symbolRateKSps, 6961);
}

TEST(ModulatorBlock, Type2ServiceListEndsWithFFAndTheDescrambledMask) {
    ModulatorValues v = TwoServices();
    v.services.push_back(
        {.serviceId = 0x0789, .outputServiceId = 0x0789, .channel = 1, .descrambledUpstream = true});
    const EncodeResult built = EncodeModulatorBlock(type::kModT1, v, {});
    ASSERT_TRUE(built.Ok()) << built.error;
    const std::vector<uint8_t> list(built.block.begin() + 8, built.block.begin() + 18);
    EXPECT_EQ(list, (std::vector<uint8_t>{3, 0x12, 0x34, 0x04, 0x56, 0x07, 0x89, 0xFF, 0x00, 0x05}));

    // Read back: all on channel 1, marks from the mask, output ids right after the network id.
    const auto decoded = DecodeModulatorBlock(type::kModT1, built.block);
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    ASSERT_EQ(decoded.values.services.size(), 3u);
    EXPECT_TRUE(decoded.values.services[0].descrambledUpstream);
    EXPECT_FALSE(decoded.values.services[1].descrambledUpstream);
    EXPECT_TRUE(decoded.values.services[2].descrambledUpstream);
    EXPECT_EQ(decoded.values.services[1].outputServiceId, 0x0999);
    EXPECT_FALSE(decoded.values.watchdog);
    // The tail is network id, output ids, watchdog: no symbol rate between them.
    const std::vector<uint8_t> tail(built.block.end() - 9, built.block.end());
    EXPECT_EQ(tail, (std::vector<uint8_t>{0x30, 0x01, 0x12, 0x34, 0x09, 0x99, 0x07, 0x89, 0x00}));
}

TEST(ModulatorBlock, ChannelByteCarriesChannelAndDescrambledBit) {
    ModulatorValues v = TwoServices();
    v.services[1].channel = 2;
    const EncodeResult built = EncodeModulatorBlock(type::kModC2, v, {});
    ASSERT_TRUE(built.Ok()) << built.error;
    EXPECT_EQ(built.block[11], 0x81);
    EXPECT_EQ(built.block[14], 0x02);
    const auto decoded = DecodeModulatorBlock(type::kModC2, built.block);
    ASSERT_TRUE(decoded.Ok());
    EXPECT_EQ(decoded.values.services[1].channel, 2);
}

TEST(ModulatorBlock, ShortBlocksGiveTheDefaults) {
    const ModulatorRadio previous{.frequencyKHz = 602000, .levelStep = 12};
    const std::vector<uint8_t> seven = {0x0E, 0x88, 1, 2, 2, 1, 3};
    const auto radioOnly = DecodeModulatorBlock(type::kModT2, seven, previous);
    ASSERT_TRUE(radioOnly.Ok());
    EXPECT_EQ(radioOnly.values.radio, previous);

    // Radio settings and one service: everything after the service list takes its default.
    const std::vector<uint8_t> block = {0x0E, 0x88, 1, 2, 2, 1, 3, 10, 1, 0x04, 0xD2, 0x02};
    const auto decoded = DecodeModulatorBlock(type::kModT4, block, previous);
    ASSERT_TRUE(decoded.Ok());
    const ModulatorValues& v = decoded.values;
    EXPECT_EQ(v.radio.frequencyKHz, 465000u);
    EXPECT_EQ(v.radio.bandwidthCode, kBandwidthCode7MHz);
    EXPECT_EQ(v.radio.levelStep, 2);
    ASSERT_EQ(v.services.size(), 1u);
    EXPECT_EQ(v.services[0].serviceId, 1234);
    EXPECT_EQ(v.services[0].channel, 2);
    EXPECT_EQ(v.services[0].logicalChannel, 234);
    EXPECT_EQ(v.services[0].hdLogicalChannel, 234);
    EXPECT_EQ(v.services[0].outputServiceId, 1234);
    EXPECT_EQ(v.originalNetworkId, 8442);
    EXPECT_EQ(v.networkId, 8442);
    EXPECT_EQ(v.transportStreamIds, (std::array<uint16_t, 4>{100, 101, 102, 103}));
    EXPECT_EQ(v.nitVersion, 5);
    EXPECT_EQ(v.lcnFlavour, LcnFlavour::Eacem);
    EXPECT_TRUE(v.watchdog);

    // A service whose entry is cut off is dropped; a count above 100 reads as none.
    const std::vector<uint8_t> cut = {0x0E, 0x88, 1, 2, 2, 1, 3, 10, 2, 0x04, 0xD2, 0x02, 0x04};
    EXPECT_EQ(DecodeModulatorBlock(type::kModT4, cut).values.services.size(), 1u);
    std::vector<uint8_t> many = block;
    many[8] = 101;
    EXPECT_TRUE(DecodeModulatorBlock(type::kModT4, many).values.services.empty());
}

TEST(ModulatorBlock, StoredNitOfLengthZeroDecodesAsVersion5Eacem) {
    // Type 5 with no services: count 0, ONID, four TS ids, L = 0, flag, NID, watchdog.
    const std::vector<uint8_t> block = {0x0E, 0x88, 2, 0, 0, 0, 0, 255, 0, 0x20, 0xFA, 0, 1,
                                        0,    2,    0, 3, 0, 4, 0, 0,   1, 0x30, 0x01, 0};
    const auto decoded = DecodeModulatorBlock(type::kModT2, block);
    ASSERT_TRUE(decoded.Ok());
    EXPECT_EQ(decoded.values.nitVersion, 5);
    EXPECT_EQ(decoded.values.lcnFlavour, LcnFlavour::Eacem);
    EXPECT_TRUE(decoded.values.storedNit.empty());
    EXPECT_TRUE(decoded.values.removeCatEmm);
    EXPECT_EQ(decoded.values.networkId, 0x3001);
    EXPECT_FALSE(decoded.values.watchdog);
    EXPECT_EQ(decoded.values.radio.levelStep, 30);
}

TEST(ModulatorBlock, RefusesWhatTheBlockCannotHold) {
    ModulatorValues v = TwoServices();
    v.radio.levelStep = 0;
    EXPECT_FALSE(EncodeModulatorBlock(type::kModT2, v, {}).Ok());

    v = TwoServices();
    v.services.resize(101, {.serviceId = 7, .channel = 1});
    EXPECT_NE(EncodeModulatorBlock(type::kModT2, v, {}).error.find("100"), std::string::npos);

    // 100 services without numbers split over two channels: a NIT of about 370 bytes on top
    // of 930 bytes of fields.
    v = TwoServices();
    v.services.clear();
    for (uint16_t id = 1; id <= 100; ++id)
        v.services.push_back(
            {.serviceId = id, .outputServiceId = id, .channel = static_cast<uint8_t>(1 + id % 2)});
    const EncodeResult tooLong = EncodeModulatorBlock(type::kModT2, v, {});
    EXPECT_NE(tooLong.error.find("1024"), std::string::npos) << tooLong.error;

    // The type 2 mask has 16 bits: the 17th service cannot be marked.
    v.services.resize(17);
    v.services[16].descrambledUpstream = true;
    EXPECT_FALSE(EncodeModulatorBlock(type::kModT1, v, {}).Ok());
    v.services[16].descrambledUpstream = false;
    EXPECT_TRUE(EncodeModulatorBlock(type::kModT1, v, {}).Ok());

    v = TwoServices();
    v.services[0].logicalChannel = 1024;
    EXPECT_FALSE(EncodeModulatorBlock(type::kModT2, v, {}).Ok());

    EXPECT_FALSE(EncodeModulatorBlock(type::kIpStreamer, TwoServices(), {}).Ok());
    EXPECT_FALSE(DecodeModulatorBlock(type::kModT2, std::vector<uint8_t>(1025)).Ok());
}

} // namespace
} // namespace kaptiv::settings
