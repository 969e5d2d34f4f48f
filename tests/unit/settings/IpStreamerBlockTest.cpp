#include "settings/IpStreamerBlock.h"

#include "BlockTestSupport.h"

#include <gtest/gtest.h>

namespace kaptiv::settings {
namespace {

using test::Fixture;
using test::Hex;
using test::SameBytes;

std::vector<uint8_t> WithServiceTail(std::vector<uint8_t> block, const std::string& tail) {
    block.resize(0x8D); // up to the service count
    const auto bytes = Hex(tail);
    block.insert(block.end(), bytes.begin(), bytes.end());
    return block;
}

TEST(IpStreamerBlock, DecodesTheDemoStreamerAndWritesItBack) {
    const auto block = Fixture("type-13.hex");
    const auto result = DecodeIpStreamerBlock(block);
    ASSERT_TRUE(result.Ok()) << result.error;
    const IpStreamerValues& v = result.values;
    EXPECT_FALSE(v.dhcp);
    EXPECT_EQ(v.mac, (std::array<uint8_t, 6>{0x02, 0x4D, 0x56, 0x13, 0x2C, 0xE7}));
    EXPECT_EQ(v.address, (Ipv4{192, 168, 10, 40}));
    EXPECT_EQ(v.gateway, (Ipv4{192, 168, 10, 1}));
    EXPECT_EQ(v.unseenWord, 8000);
    EXPECT_EQ(v.unseenByte, 7);
    EXPECT_TRUE(v.sap);
    EXPECT_EQ(v.identification, U"Flux IP R\u00E9sidence");
    EXPECT_EQ(v.protocol, 1);
    EXPECT_EQ(v.ttl, 16);
    EXPECT_EQ(v.qos, QosChoice::Max);
    EXPECT_EQ(v.streams[15].address, (Ipv4{239, 10, 1, 16}));
    EXPECT_EQ(v.streams[15].port, 5032);
    EXPECT_EQ(v.unseenTrailer, 0x5C);
    EXPECT_EQ(v.services, (std::vector<StreamerService>{{8101, 1}, {8102, 2}, {8103, 3}, {8104, 16}}));
    EXPECT_EQ(UsedStreamMask(v.services), 0x8007);
    const auto encoded = EncodeIpStreamerBlock(v);
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    EXPECT_TRUE(SameBytes(block, encoded.block));
}

TEST(IpStreamerBlock, SeveralStreamBitsKeepOnlyTheHighest) {
    const auto block = WithServiceTail(Fixture("type-13.hex"), "01 1F A5 00 05 00 00");
    const auto v = DecodeIpStreamerBlock(block).values;
    ASSERT_EQ(v.services.size(), 1u);
    EXPECT_EQ(v.services[0].stream, 3);
    const auto encoded = EncodeIpStreamerBlock(v).block;
    EXPECT_TRUE(SameBytes(WithServiceTail(block, "01 1F A5 00 04 00 00"), encoded));
}

TEST(IpStreamerBlock, UnknownQosByteBecomesVideoHigh) {
    auto block = Fixture("type-13.hex");
    block[0x2B] = 0x28;
    const auto v = DecodeIpStreamerBlock(block).values;
    EXPECT_EQ(v.qos, QosChoice::VideoHigh);
    EXPECT_EQ(EncodeIpStreamerBlock(v).block[0x2B], 136);
    EXPECT_EQ(QosFromByte(104), QosChoice::VideoVoice);
    EXPECT_EQ(QosFromByte(144), QosChoice::VideoLow);
    EXPECT_EQ(QosFromByte(0), QosChoice::Service);
}

TEST(IpStreamerBlock, ServiceOnNoStreamIsWrittenWithAnEmptyMask) {
    IpStreamerValues v;
    v.services = {{0x1234, 0}, {0x1235, 16}};
    const auto block = EncodeIpStreamerBlock(v).block;
    EXPECT_TRUE(SameBytes(Hex("02 12 34 00 00 00 00 12 35 80 00 00 00"), {block.end() - 13, block.end()}));
    EXPECT_EQ(UsedStreamMask(v.services), 0x8000);
}

TEST(IpStreamerBlock, RefusesWhatDoesNotFit) {
    IpStreamerValues v;
    v.services = {{1, 17}};
    EXPECT_FALSE(EncodeIpStreamerBlock(v).Ok());
    v.services.assign(256, {1, 1});
    EXPECT_FALSE(EncodeIpStreamerBlock(v).Ok());
    v.services.assign(255, {1, 1}); // 255 x 6 bytes do not fit 1024 either
    EXPECT_NE(EncodeIpStreamerBlock(v).error.find("1024"), std::string::npos);
    EXPECT_FALSE(DecodeIpStreamerBlock(std::vector<uint8_t>(1025, 0)).Ok());
}

TEST(IpStreamerBlock, MacFieldsCountForeignCharactersAsZero) {
    EXPECT_EQ(MacByteFromText("G1"), 0x01);
    EXPECT_EQ(MacByteFromText("e7"), 0xE7);
    EXPECT_EQ(MacByteFromText("2C"), 0x2C);
}

} // namespace
} // namespace kaptiv::settings
