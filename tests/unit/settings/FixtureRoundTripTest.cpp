// Every hand-made fixture block of the tuner, encoder and IP streamer families survives
// decode -> encode -> decode with the same values, and a full-length block comes back byte for
// byte.
#include "platform/ModuleType.h"
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"
#include "settings/IpStreamerBlock.h"
#include "settings/TunerBlock.h"

#include "BlockTestSupport.h"

#include <gtest/gtest.h>

namespace kaptiv::settings {
namespace {

using test::Fixture;
using test::SameBytes;

struct FixtureCase {
    const char* file;
    uint8_t type;
    bool sameBytes; // false where the encoder legitimately writes more than it read
};

class FixtureRoundTrip : public ::testing::TestWithParam<FixtureCase> {};

template <typename Values, typename Encode>
void CheckRoundTrip(const std::vector<uint8_t>& block, const DecodeResult<Values>& first, Encode encode,
                    bool sameBytes, auto decode) {
    ASSERT_TRUE(first.Ok()) << first.error;
    const EncodeResult encoded = encode(first.values);
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    if (sameBytes) {
        EXPECT_TRUE(SameBytes(block, encoded.block));
    }
    const DecodeResult<Values> second = decode(encoded.block);
    ASSERT_TRUE(second.Ok()) << second.error;
    EXPECT_TRUE(second.values == first.values);
}

TEST_P(FixtureRoundTrip, DecodeEncodeDecodeIsStable) {
    const FixtureCase& c = GetParam();
    const auto block = Fixture(c.file);
    ASSERT_FALSE(block.empty());
    switch (LayoutOfType(c.type)) {
    case BlockLayout::SingleTuner:
    case BlockLayout::DualTuner: {
        auto decode = [&](const std::vector<uint8_t>& b) { return DecodeTunerBlock(c.type, b); };
        auto encode = [](const TunerValues& v) { return EncodeTunerBlock(v, ChecksFor(v)); };
        CheckRoundTrip(block, decode(block), encode, c.sameBytes, decode);
        break;
    }
    case BlockLayout::Encoder: {
        auto decode = [](const std::vector<uint8_t>& b) { return DecodeEncoderBlock(b); };
        auto encode = [](EncoderValues v) {
            bool changed = false;
            return EncodeEncoderBlock(v, changed);
        };
        CheckRoundTrip(block, decode(block), encode, c.sameBytes, decode);
        break;
    }
    case BlockLayout::HdEncoder: {
        auto decode = [](const std::vector<uint8_t>& b) { return DecodeHdEncoderBlock(b); };
        auto encode = [](HdEncoderValues v) {
            bool changed = false;
            return EncodeHdEncoderBlock(v, changed);
        };
        CheckRoundTrip(block, decode(block), encode, c.sameBytes, decode);
        break;
    }
    case BlockLayout::IpStreamer: {
        auto decode = [](const std::vector<uint8_t>& b) { return DecodeIpStreamerBlock(b); };
        auto encode = [](const IpStreamerValues& v) { return EncodeIpStreamerBlock(v); };
        CheckRoundTrip(block, decode(block), encode, c.sameBytes, decode);
        break;
    }
    default:
        FAIL() << "no codec here for type " << int(c.type);
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, FixtureRoundTrip,
                         ::testing::Values(FixtureCase{"type-1.hex", type::kSat1_0, true},
                                           FixtureCase{"type-4.hex", type::kSat1, true},
                                           FixtureCase{"type-7.hex", type::kSat2_0, true},
                                           FixtureCase{"type-7-short.hex", type::kSat2_0, false},
                                           FixtureCase{"type-10.hex", type::kSat2, true},
                                           FixtureCase{"type-12.hex", type::kTerrestrial, true},
                                           FixtureCase{"type-9.hex", type::kAvEncoder, true},
                                           FixtureCase{"type-9-cascade.hex", type::kAvEncoder, true},
                                           FixtureCase{"type-14.hex", type::kHdEncoder, true},
                                           FixtureCase{"type-13.hex", type::kIpStreamer, true}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             for (char& ch : name) {
                                 if (ch == '-')
                                     ch = '_';
                             }
                             return name;
                         });

// Values the fixtures' authors computed by hand from the layouts.
TEST(FixtureValues, TunersDecodeAsDescribed) {
    const auto sat1 = DecodeTunerBlock(type::kSat1_0, Fixture("type-1.hex")).values;
    ASSERT_EQ(sat1.sections.size(), 1u);
    EXPECT_EQ(sat1.sections[0].frequencyMHz, 12188);
    EXPECT_EQ(sat1.sections[0].symbolRate, 27500);
    EXPECT_STREQ(FecText(sat1.sections[0].fecIndex), "5/6");
    EXPECT_EQ(sat1.sections[0].services,
              (std::vector<SelectedService>{{7201, 0}, {7202, 0}, {7204, 0}, {7205, 0}}));

    const auto sat4 = DecodeTunerBlock(type::kSat1, Fixture("type-4.hex")).values;
    EXPECT_EQ(sat4.sections[0].frequencyMHz, 11362);
    EXPECT_EQ(sat4.sections[0].fecIndex, 1);

    const auto sat7 = DecodeTunerBlock(type::kSat2_0, Fixture("type-7.hex")).values;
    ASSERT_EQ(sat7.sections.size(), 3u);
    EXPECT_EQ(sat7.sections[0].frequencyMHz, 11303);
    EXPECT_TRUE(sat7.sections[0].horizontal);
    EXPECT_EQ(sat7.sections[0].services,
              (std::vector<SelectedService>{{1101, 0}, {1103, 1}, {1104, 1}, {1105, 0}}));
    EXPECT_EQ(sat7.sections[1].frequencyMHz, 12515);
    EXPECT_EQ(sat7.sections[2].frequencyMHz, 10774);
    EXPECT_EQ(sat7.keptBytes, (std::array<uint8_t, 8>{0xA5, 0x01, 0x02, 0x03, 0xC4, 0x5E, 0x7F, 0x10}));
    EXPECT_FALSE(sat7.sections[1].horizontal);
    EXPECT_EQ(sat7.streamingServiceId, 1190);
    ASSERT_EQ(sat7.schedule.size(), 2u);
    EXPECT_EQ(sat7.schedule[1].start, 1200u);
    EXPECT_EQ(sat7.schedule[1].fileName, U"meteo_soir.ts");
    EXPECT_EQ(sat7.streamedName, U"Canal R\u00E9sidence");
    EXPECT_EQ(sat7.switchB, 1);
    EXPECT_EQ(sat7.terrestrial[1].frequencyKHz, 482000u);
    EXPECT_EQ(sat7.lockTimeout, 12);
    EXPECT_TRUE(sat7.lockWatchdog);

    const auto sat10 = DecodeTunerBlock(type::kSat2, Fixture("type-10.hex")).values;
    EXPECT_EQ(sat10.sections[2].frequencyMHz, 10600);
    EXPECT_EQ(sat10.schedule[1].fileName, U"udp://@:5004");
    EXPECT_EQ(sat10.streamedName, U"Info H\u00F4tel");
    EXPECT_EQ(sat10.serverAddress, U"192.168.20.15");
    EXPECT_EQ(sat10.serverPort, 5004);
    EXPECT_EQ(sat10.switchA, 2);
    EXPECT_EQ(sat10.lockTimeout, 0);
    EXPECT_FALSE(sat10.lockWatchdog);
    EXPECT_TRUE(sat10.lockFieldsPresent);

    const auto ct2 = DecodeTunerBlock(type::kTerrestrial, Fixture("type-12.hex")).values;
    EXPECT_EQ(ct2.terrestrial[0].standard, static_cast<uint8_t>(DvbStandard::DvbT2));
    EXPECT_EQ(ct2.terrestrial[0].bandwidthMHz, 8);
    EXPECT_EQ(ct2.terrestrial[0].frequencyKHz, 586000u);
    EXPECT_EQ(ct2.terrestrial[1].standard, static_cast<uint8_t>(DvbStandard::DvbC));
    EXPECT_EQ(ct2.schedule[0].end, 1439u);
    EXPECT_EQ(ct2.lockTimeout, 20);
}

} // namespace
} // namespace kaptiv::settings
