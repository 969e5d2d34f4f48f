#include "sim/Frame.h"
#include "sim/Protocol.h"

#include "platform/Bytes.h"

#include <gtest/gtest.h>

using namespace mulvane;
using kaptiv::platform::HexDump;

namespace {
std::string Hex(const std::vector<uint8_t>& bytes) {
    return HexDump(bytes, 4096);
}

std::vector<Frame> ParseAll(const std::vector<uint8_t>& bytes, FrameParser& parser) {
    std::vector<Frame> frames;
    for (uint8_t b : bytes)
        if (auto f = parser.Push(b))
            frames.push_back(*f);
    return frames;
}
} // namespace

TEST(SimFrame, GoldenAnswerWithShortLengthForm) {
    // Identification answer of 3 bytes from module 0x11: 77 04 17, control F3.
    // Checksum F3 ^ 77 ^ 04 ^ 17 = 0x97.
    auto frame = EncodeFrame(kAddrPc, 0x11, kAnswerPositive, std::vector<uint8_t>{0x77, 0x04, 0x17});
    ASSERT_TRUE(frame);
    EXPECT_EQ(Hex(*frame), "02 FD 11 F3 77 04 17 97");
}

TEST(SimFrame, LengthFormsFollowTheDataLength) {
    auto four = EncodeFrame(kAddrPc, 0x0A, kAnswerPositive, std::vector<uint8_t>(4, 0x10));
    EXPECT_EQ(Hex(*four), "02 FD 0A F4 04 10 10 10 10 F0"); // F4 ^ 04 = F0, data cancels out
    auto big = EncodeFrame(kAddrPc, 0x0A, kAnswerNegative, std::vector<uint8_t>(256, 0x00));
    ASSERT_EQ(big->size(), 3u + 1 + 2 + 256 + 1);
    EXPECT_EQ(Hex({big->begin(), big->begin() + 6}), "02 FD 0A E8 01 00");
    EXPECT_EQ(big->back(), 0xE8 ^ 0x01);
    EXPECT_EQ(ControlFor(kCmdReadParameters, 255), 0x74);
    EXPECT_EQ(ControlFor(kCmdReadParameters, 65535), 0x78);
    EXPECT_FALSE(EncodeFrame(kAddrPc, 0x0A, kAnswerPositive, std::vector<uint8_t>(65536)));
}

TEST(SimFrame, StuffsDataAndChecksumButNotAddresses) {
    // Data 02 is doubled; checksum F1 ^ 02 ... choose data so the checksum is 02 too:
    // F2 ^ 02 ^ F2 = 02.
    auto frame = EncodeFrame(kAddrPc, 0x02, kAnswerPositive, std::vector<uint8_t>{0x02, 0xF2});
    EXPECT_EQ(Hex(*frame), "02 FD 02 F2 02 02 F2 02 02");
    FrameParser parser;
    auto frames = ParseAll(*frame, parser);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].source, 0x02);
    EXPECT_EQ(Hex(frames[0].data), "02 F2");
}

TEST(SimFrame, ParserReadsRequestsOfEveryLengthForm) {
    for (size_t n : {0u, 3u, 4u, 255u, 256u, 1000u}) {
        std::vector<uint8_t> data(n);
        for (size_t i = 0; i < n; ++i)
            data[i] = static_cast<uint8_t>(i * 7); // includes 0x02 now and then
        auto bytes = EncodeFrame(0x0C, kAddrPc, kCmdWriteData, data);
        FrameParser parser;
        auto frames = ParseAll(*bytes, parser);
        ASSERT_EQ(frames.size(), 1u) << n;
        EXPECT_EQ(frames[0].destination, 0x0C);
        EXPECT_EQ(frames[0].Command(), kCmdWriteData);
        EXPECT_EQ(frames[0].data, data) << n;
    }
}

TEST(SimFrame, BadChecksumIsDroppedAndALoneStartByteRestarts) {
    auto good = *EncodeFrame(0x0A, kAddrPc, kCmdIdentify, {});
    auto bad = *EncodeFrame(0x0A, kAddrPc, kCmdIdentify, {}, /*corruptChecksum=*/true);
    FrameParser parser;
    EXPECT_TRUE(ParseAll(bad, parser).empty());
    EXPECT_EQ(parser.BadChecksums(), 1u);

    // A frame cut off in its data, then a whole frame: the lone 02 starts the new one.
    std::vector<uint8_t> line = {0x02, 0x0A, 0xFD, 0x54, 0x05, 0x11, 0x22};
    line.insert(line.end(), good.begin(), good.end());
    auto frames = ParseAll(line, parser);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].destination, 0x0A);
    EXPECT_EQ(frames[0].Command(), kCmdIdentify);
    EXPECT_TRUE(frames[0].data.empty());
}
