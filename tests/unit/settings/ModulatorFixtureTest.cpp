// The hand-made modulator blocks of the simulated rack (sim/fixtures/blocks/type-<T>.hex), whose
// decoded values were worked out by hand from the layout: decoding them gives those values, and
// encoding the decoded values gives the very same bytes back (NIT and CRC included).
#include "settings/ModulatorBlock.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/Bytes.h"
#include "settings/NitSection.h"

namespace kaptiv::settings {
namespace {

// Hex bytes separated by blanks; '#' starts a comment that runs to the end of the line.
std::vector<uint8_t> ReadFixture(uint8_t type) {
    const std::string path = std::string(KAPTIV_BLOCK_FIXTURES) + "/type-" + std::to_string(type) + ".hex";
    std::ifstream file(path);
    EXPECT_TRUE(file.good()) << "cannot read " << path;
    std::vector<uint8_t> bytes;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line.substr(0, line.find('#')));
        std::string byte;
        while (in >> byte)
            bytes.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    return bytes;
}

std::string FirstDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    const auto from = [at](const std::vector<uint8_t>& v) {
        return platform::HexDump(std::span(v).subspan(std::min(at, v.size())), 24);
    };
    std::ostringstream out;
    out << "first difference at offset 0x" << std::hex << at << "\n expected " << from(expected)
        << "\n actual   " << from(actual);
    return out.str();
}

ModulatorValues DecodeFixture(uint8_t type) {
    const auto decoded = DecodeModulatorBlock(type, ReadFixture(type));
    EXPECT_TRUE(decoded.Ok()) << decoded.error;
    return decoded.values;
}

class ModulatorFixture : public testing::TestWithParam<uint8_t> {};

TEST_P(ModulatorFixture, EncodesBackToTheSameBytesAndDecodesStably) {
    const uint8_t type = GetParam();
    const std::vector<uint8_t> block = ReadFixture(type);
    ASSERT_FALSE(block.empty());
    const auto first = DecodeModulatorBlock(type, block);
    ASSERT_TRUE(first.Ok()) << first.error;
    const EncodeResult encoded =
        EncodeModulatorBlock(type, first.values, ModulatorEncodeContext::FromStoredBlock(block));
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    EXPECT_TRUE(encoded.block == block) << FirstDifference(block, encoded.block);
    const auto second = DecodeModulatorBlock(type, encoded.block);
    ASSERT_TRUE(second.Ok()) << second.error;
    EXPECT_EQ(second.values, first.values);
    EXPECT_TRUE(ParseNitSection(first.values.storedNit).values.crcOk);
}

INSTANTIATE_TEST_SUITE_P(AllModulatorTypes, ModulatorFixture,
                         testing::Values(type::kModT1, type::kModT2, type::kModT4, type::kModC4,
                                         type::kModC2),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

TEST(ModulatorFixtureValues, SingleChannelType2) {
    const ModulatorValues v = DecodeFixture(type::kModT1);
    EXPECT_EQ(v.radio, (ModulatorRadio{.frequencyKHz = 546000,
                                       .bandwidthCode = kBandwidthCode8MHz,
                                       .codeRate = 1,
                                       .constellation = 2,
                                       .mode = 1,
                                       .guard = 3,
                                       .levelStep = 28}));
    ASSERT_EQ(v.services.size(), 3u);
    EXPECT_EQ(v.services[0], (ModulatorService{.serviceId = 3101,
                                               .logicalChannel = 21,
                                               .hdLogicalChannel = 0,
                                               .outputServiceId = 3101,
                                               .channel = 1}));
    EXPECT_EQ(v.services[2].serviceId, 3104);
    EXPECT_EQ(v.services[2].logicalChannel, 0);
    EXPECT_EQ(v.originalNetworkId, 8704);
    EXPECT_EQ(v.transportStreamIds[0], 1041);
    EXPECT_EQ(v.networkId, 12801);
    EXPECT_EQ(v.nitVersion, 7);
    EXPECT_EQ(v.networkName, U"R\u00e9sidence Les Tilleuls");
    EXPECT_EQ(v.lcnFlavour, LcnFlavour::Eacem);
    EXPECT_TRUE(v.watchdog);
}

TEST(ModulatorFixtureValues, TwoChannelItcType5) {
    const ModulatorValues v = DecodeFixture(type::kModT2);
    EXPECT_EQ(v.radio.frequencyKHz, 177500u);
    EXPECT_EQ(v.radio.bandwidthCode, kBandwidthCode7MHz);
    EXPECT_EQ(v.radio.levelStep, 25);
    ASSERT_EQ(v.services.size(), 4u);
    EXPECT_EQ(v.services[0].hdLogicalChannel, 131);
    EXPECT_EQ(v.services[3], (ModulatorService{.serviceId = 7205,
                                               .logicalChannel = 34,
                                               .hdLogicalChannel = 0,
                                               .outputServiceId = 7305,
                                               .channel = 2}));
    EXPECT_EQ(v.transportStreamIds, (std::array<uint16_t, 4>{1051, 1052, 1053, 1054}));
    EXPECT_EQ(v.lcnFlavour, LcnFlavour::Itc);
    EXPECT_EQ(v.nitVersion, 3);
    EXPECT_FALSE(v.watchdog);
}

TEST(ModulatorFixtureValues, FourChannelType6WithDescrambledServices) {
    const ModulatorValues v = DecodeFixture(type::kModT4);
    ASSERT_EQ(v.services.size(), 8u);
    std::vector<uint16_t> descrambled;
    for (const ModulatorService& s : v.services)
        if (s.descrambledUpstream)
            descrambled.push_back(s.serviceId);
    EXPECT_EQ(descrambled, (std::vector<uint16_t>{1103, 1104, 2203}));
    EXPECT_EQ(v.services[3].logicalChannel, 301);
    EXPECT_EQ(v.services[7].outputServiceId, 1900);
    EXPECT_TRUE(v.removeCatEmm);
    EXPECT_EQ(v.nitVersion, 9);
    const auto nit = ParseNitSection(v.storedNit);
    ASSERT_TRUE(nit.Ok()) << nit.error;
    ASSERT_EQ(nit.values.transportStreams.size(), 3u);
    EXPECT_EQ(nit.values.transportStreams[0].transportStreamId, 1063); // channel 3 first
}

TEST(ModulatorFixtureValues, QamTypes8And11CarryTheSymbolRate) {
    const ModulatorValues four = DecodeFixture(type::kModC4);
    EXPECT_EQ(four.radio.constellation, 4); // QAM256
    EXPECT_EQ(four.symbolRateKSps, 6900);
    ASSERT_EQ(four.services.size(), 2u);
    EXPECT_EQ(four.services[1].channel, 3);
    EXPECT_EQ(four.services[1].outputServiceId, 6402);
    const ModulatorValues two = DecodeFixture(type::kModC2);
    EXPECT_EQ(two.symbolRateKSps, 6875);
    EXPECT_EQ(two.nitVersion, 0);
    EXPECT_EQ(two.services[3].outputServiceId, 6900);
}

} // namespace
} // namespace kaptiv::settings
