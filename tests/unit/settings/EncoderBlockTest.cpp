#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"

#include "BlockTestSupport.h"

#include <gtest/gtest.h>

namespace kaptiv::settings {
namespace {

using test::Fixture;
using test::Hex;
using test::SameBytes;

TEST(EncoderBlock, DecodesTheDemoEncoder) {
    const auto block = Fixture("type-9.hex");
    const auto result = DecodeEncoderBlock(block);
    ASSERT_TRUE(result.Ok()) << result.error;
    const EncoderValues& v = result.values;
    EXPECT_EQ(v.counter, 23);
    EXPECT_TRUE(v.passThrough[0].empty());
    EXPECT_EQ(v.channels[0].serviceId, 6301);
    EXPECT_EQ(v.channels[0].unseen, (std::array<uint16_t, 3>{1000, 1001, 1002}));
    EXPECT_EQ(v.channels[0].videoRateKbps, 6000);
    EXPECT_EQ(v.channels[0].name, U"L'\u00C9cho du Lac");
    EXPECT_EQ(v.channels[0].aspect, 1);
    EXPECT_EQ(v.channels[0].saturation, 135);
    EXPECT_EQ(v.channels[1].name, U"Cam\u00E9ra Accueil");
    EXPECT_EQ(v.channels[1].videoRateKbps, 4500);

    EncoderValues copy = v;
    bool changed = false;
    const auto encoded = EncodeEncoderBlock(copy, changed);
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    EXPECT_TRUE(SameBytes(block, encoded.block));
}

TEST(EncoderBlock, ChangedMarkAdvancesTheCounterModulo256) {
    auto decoded = DecodeEncoderBlock(Fixture("type-9-cascade.hex"));
    EncoderValues& v = decoded.values;
    ASSERT_EQ(v.counter, 255);
    EXPECT_EQ(v.passThrough[0], (std::vector<uint16_t>{6101, 6103, 6201, 6190}));
    bool changed = true;
    auto result = EncodeEncoderBlock(v, changed);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.block[0], 0);
    EXPECT_EQ(v.counter, 0);
    EXPECT_FALSE(changed);
    result = EncodeEncoderBlock(v, changed); // mark cleared: counter stays
    EXPECT_EQ(result.block[0], 0);

    // A refused encoding leaves counter and mark alone.
    v.channels[1].name = std::u32string(32, U'x');
    changed = true;
    EXPECT_FALSE(EncodeEncoderBlock(v, changed).Ok());
    EXPECT_TRUE(changed);
    EXPECT_EQ(v.counter, 0);
}

TEST(EncoderBlock, PassThroughListsAreWrittenUnderOneCountAndReadIntoTheFirst) {
    EncoderValues v;
    v.passThrough = {std::vector<uint16_t>{0x0101, 0x0102}, {}, {0x0303}};
    bool changed = false;
    const auto result = EncodeEncoderBlock(v, changed);
    ASSERT_TRUE(result.Ok());
    const std::vector<uint8_t> tail(result.block.end() - 7, result.block.end());
    EXPECT_TRUE(SameBytes(Hex("03 01 01 01 02 03 03"), tail));
    const auto again = DecodeEncoderBlock(result.block);
    EXPECT_EQ(again.values.passThrough[0], (std::vector<uint16_t>{0x0101, 0x0102, 0x0303}));
    EXPECT_TRUE(again.values.passThrough[1].empty());
    EXPECT_TRUE(again.values.passThrough[2].empty());

    v.passThrough[1].assign(254, 7); // 2 + 254 + 1 ids cannot be counted in one byte
    EXPECT_NE(EncodeEncoderBlock(v, changed).error.find("257"), std::string::npos);
}

TEST(EncoderBlock, NameLosesItsDoubleQuote) {
    EncoderValues v;
    v.channels[0].name = U"Le \"Lac\"";
    bool changed = false;
    const auto again = DecodeEncoderBlock(EncodeEncoderBlock(v, changed).block);
    EXPECT_EQ(again.values.channels[0].name, U"Le Lac");
}

TEST(EncoderBlock, ShortBlockReadsZerosWithoutReadingPastIt) {
    const auto block = Fixture("type-9.hex");
    const std::vector<uint8_t> cut(block.begin(), block.begin() + 0x14); // inside channel A's name
    const auto result = DecodeEncoderBlock(cut);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.values.channels[0].name, U"L'\u00C9cho d");
    EXPECT_EQ(result.values.channels[1].serviceId, 0);
    EXPECT_TRUE(result.values.passThrough[0].empty());
}

TEST(HdEncoderBlock, DecodesTheDemoEncoderAndWritesItBack) {
    const auto block = Fixture("type-14.hex");
    auto result = DecodeHdEncoderBlock(block);
    ASSERT_TRUE(result.Ok()) << result.error;
    HdEncoderValues& v = result.values;
    EXPECT_EQ(v.counter, 3);
    EXPECT_TRUE(v.passThrough[0].empty());
    EXPECT_EQ(v.channels[0].serviceId, 8101);
    EXPECT_EQ(v.channels[0].unseen, (std::array<uint16_t, 4>{0x0100, 0x0101, 0x0102, 0x0E01}));
    EXPECT_EQ(v.channels[1].audioCoding, 1);
    EXPECT_EQ(v.channels[1].name, U"Hall d'Accueil");
    EXPECT_EQ(v.channels[2].videoRateKbps, 15000);
    EXPECT_EQ(v.channels[2].audioIndex, 4);
    EXPECT_EQ(v.channels[3].name, U"Cour Int\u00E9rieure");
    bool changed = false;
    const auto encoded = EncodeHdEncoderBlock(v, changed);
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    EXPECT_TRUE(SameBytes(block, encoded.block));
}

TEST(HdEncoderBlock, FiveListsGoFirstUnderOneCount) {
    HdEncoderValues v;
    v.counter = 9;
    v.passThrough = {std::vector<uint16_t>{0x0A0A}, {}, {}, {0x0B0B}, {0x0C0C}};
    bool changed = true;
    const auto result = EncodeHdEncoderBlock(v, changed);
    ASSERT_TRUE(result.Ok());
    // counter 10, three ids, then channel A: id 1, four zero words, 9000 kb/s, AAC 128, "No Name"
    EXPECT_TRUE(SameBytes(Hex("0A 03 0A 0A 0B 0B 0C 0C"
                              "00 01 00 00 00 00 00 00 00 00 23 28 00 00"
                              "4E 6F 20 4E 61 6D 65 00"),
                          {result.block.begin(), result.block.begin() + 30}));
    EXPECT_EQ(DecodeHdEncoderBlock(result.block).values.passThrough[0].size(), 3u);
}

} // namespace
} // namespace kaptiv::settings
