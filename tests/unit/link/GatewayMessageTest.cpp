#include "link/GatewayMessage.h"
#include "platform/Bytes.h"

#include <gtest/gtest.h>
#include <vector>

using namespace kaptiv::link;
using kaptiv::platform::HexDump;

TEST(GatewayMessage, EncodesHeaderAndPayload) {
    const uint8_t inner[] = {0x05, 0xFD, 0x10};
    auto m = EncodeGatewayMessage(7, 0, inner);
    ASSERT_TRUE(m);
    EXPECT_EQ(HexDump(*m), "00 08 00 00 07 05 FD 10");
    auto keepAlive = EncodeGatewayMessage(8, 0x1234, {});
    EXPECT_EQ(HexDump(*keepAlive), "00 05 12 34 08");
    std::vector<uint8_t> tooBig(0xFFFF - 4);
    EXPECT_FALSE(EncodeGatewayMessage(7, 0, tooBig));
}

TEST(GatewayMessage, WalksWholeMessagesAndDropsACutOffOne) {
    const std::vector<uint8_t> data = {
        0x00, 0x06, 0x00, 0x01, 0x05, 0x01,       // type 5, link up
        0x00, 0x05, 0x12, 0x34, 0x08,             // keep-alive
        0x00, 0x0A, 0x00, 0x00, 0x07, 0xFD, 0x05, // relay cut off after 7 of 10 bytes
    };
    std::vector<std::pair<uint8_t, uint16_t>> seen;
    EXPECT_EQ(WalkGatewayMessages(data, [&](const GatewayMessage& m) { seen.emplace_back(m.type, m.id); }),
              WalkEnd::CutOff);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::pair<uint8_t, uint16_t>{5, 1}));
    EXPECT_EQ(seen[1], (std::pair<uint8_t, uint16_t>{8, 0x1234}));
}

TEST(GatewayMessage, LengthUnderTheHeaderStopsTheWalk) {
    for (uint8_t bad : {0, 1, 4}) {
        const std::vector<uint8_t> data = {0x00, 0x05, 0x00, 0x00, 0x08, 0x00, bad, 0,
                                           0,    0,    0x00, 0x05, 0,    0,    8};
        int count = 0;
        EXPECT_EQ(WalkGatewayMessages(data, [&](const GatewayMessage&) { ++count; }), WalkEnd::BadLength);
        EXPECT_EQ(count, 1);
    }
    int count = 0;
    const std::vector<uint8_t> one = {0x00};
    EXPECT_EQ(WalkGatewayMessages(one, [&](const GatewayMessage&) { ++count; }), WalkEnd::CutOff);
    EXPECT_EQ(count, 0);
}

TEST(GatewayMessage, RelayedAnswerNeedsItsThreeHeaderBytes) {
    const uint8_t two[] = {0xFD, 0x05};
    EXPECT_FALSE(ParseRelayedAnswer(two));
    const uint8_t answer[] = {0xFD, 0x05, 0xF0, 0x77, 0x04};
    auto a = ParseRelayedAnswer(answer);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->source, 0x05);
    EXPECT_EQ(a->control, 0xF0);
    EXPECT_EQ(HexDump(a->data), "77 04");
}
