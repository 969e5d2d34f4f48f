#include "link/Frame.h"
#include "platform/Bytes.h"
#include "tests/support/FrameDecode.h"

#include <gtest/gtest.h>
#include <vector>

using namespace kaptiv::link;
using kaptiv::platform::HexDump;
using kaptiv::test::ModuleAnswer;

namespace {

std::vector<uint8_t> Build(uint8_t dest, uint8_t cmd, const std::vector<uint8_t>& data) {
    FrameBuilder b;
    EXPECT_TRUE(b.Build(dest, cmd, data.data(), data.size()));
    return {b.Bytes(), b.Bytes() + b.Size()};
}

AnswerParser::Outcome FeedAll(AnswerParser& p, const std::vector<uint8_t>& bytes) {
    AnswerParser::Outcome last = AnswerParser::Outcome::Pending;
    for (uint8_t b : bytes) {
        last = p.Feed(b);
        if (last != AnswerParser::Outcome::Pending)
            break;
    }
    return last;
}

} // namespace

TEST(FrameBuilder, UsesTheThreeLengthForms) {
    EXPECT_EQ(HexDump(Build(0x05, 0x70, {})), "02 05 FD 70 70");
    EXPECT_EQ(HexDump(Build(0x05, 0x50, {0x10, 0x20, 0x30})), "02 05 FD 53 10 20 30 53");
    const auto four = Build(0x05, 0x50, {1, 3, 5, 7});
    EXPECT_EQ(HexDump(four), "02 05 FD 54 04 01 03 05 07 50");
    // 255 is the last length of the one-byte form, 256 the first of the two-byte form.
    const auto most = Build(0x05, 0x50, std::vector<uint8_t>(255, 0x11));
    ASSERT_EQ(most.size(), 4u + 1u + 255u + 1u);
    EXPECT_EQ(HexDump({most.data(), 6}), "02 05 FD 54 FF 11");
    const auto big = Build(0x05, 0x50, std::vector<uint8_t>(256, 0x11));
    ASSERT_GT(big.size(), 6u);
    EXPECT_EQ(HexDump({big.data(), 6}), "02 05 FD 58 01 00");
    auto decoded = kaptiv::test::DecodeSentFrame(big);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->data.size(), 256u);
    EXPECT_TRUE(decoded->checksumOk);
}

TEST(FrameBuilder, StuffsEveryStartByteFromTheControlByteOn) {
    // Destination 0x02 is an address byte and is not doubled; the data byte is, and it
    // counts once in the checksum (0x52 ^ 0x02 = 0x50).
    EXPECT_EQ(HexDump(Build(0x02, 0x50, {0x02, 0x50})), "02 02 FD 52 02 02 50 00");
    // A checksum equal to 0x02 is doubled too: 0x51 ^ 0x53 = 0x02.
    EXPECT_EQ(HexDump(Build(0x07, 0x50, {0x53})), "02 07 FD 51 53 02 02");
    // A length byte equal to 0x02 is doubled as well.
    const auto big = Build(0x07, 0x50, std::vector<uint8_t>(0x200, 0));
    EXPECT_EQ(HexDump({big.data(), 7}), "02 07 FD 58 02 02 00");
}

TEST(FrameBuilder, RefusesAFrameThatWouldOverrunTheTransmitArea) {
    FrameBuilder b;
    std::vector<uint8_t> allStart(4100, 0x02); // 8200 bytes once stuffed
    EXPECT_FALSE(b.Build(0x05, 0x50, allStart.data(), allStart.size()));
    EXPECT_EQ(b.Size(), 0u);
    std::vector<uint8_t> plain(8000, 0x11);
    EXPECT_TRUE(b.Build(0x05, 0x50, plain.data(), plain.size()));
    EXPECT_FALSE(b.Build(0x05, 0x50, nullptr, 3)); // no data behind a length
}

TEST(AnswerParser, ReadsPositiveAnswersOfEveryLengthForm) {
    for (size_t n : {0u, 1u, 3u, 4u, 255u, 256u, 700u}) {
        std::vector<uint8_t> data(n);
        for (size_t i = 0; i < n; ++i)
            data[i] = static_cast<uint8_t>(i * 7); // includes 0x02 bytes to unstuff
        AnswerParser p;
        ASSERT_EQ(FeedAll(p, ModuleAnswer(0x05, 0xF0, data)), AnswerParser::Outcome::Positive) << n;
        ASSERT_EQ(p.Length(), n);
        EXPECT_EQ(std::vector<uint8_t>(p.Data(), p.Data() + n), data);
        EXPECT_EQ(p.Control(), 0xF0);
    }
}

TEST(AnswerParser, NegativeAnswerIsReadToItsEnd) {
    AnswerParser p;
    const auto wire = ModuleAnswer(0x05, 0xE0, {1, 2, 3, 4, 5}); // control 0xE4
    ASSERT_EQ(wire[3], 0xE4);
    size_t consumed = 0;
    AnswerParser::Outcome o = AnswerParser::Outcome::Pending;
    while (o == AnswerParser::Outcome::Pending && consumed < wire.size())
        o = p.Feed(wire[consumed++]);
    EXPECT_EQ(o, AnswerParser::Outcome::Negative);
    EXPECT_EQ(consumed, wire.size());
}

TEST(AnswerParser, BadChecksumIsNotAGoodAnswer) {
    auto wire = ModuleAnswer(0x05, 0xF0, {0x10, 0x20});
    wire.back() ^= 0x40;
    AnswerParser p;
    EXPECT_EQ(FeedAll(p, wire), AnswerParser::Outcome::BadChecksum);
}

TEST(AnswerParser, AStrayStartByteRestartsTheFrame) {
    // Half an answer, then 0x02 followed by a non-0x02 byte: the frame starts again there.
    std::vector<uint8_t> wire = {0x02, 0xFD, 0x05, 0xF4, 0x09, 0x11, 0x22};
    const auto good = ModuleAnswer(0x06, 0xF0, {0xAA});
    wire.insert(wire.end(), good.begin(), good.end());
    AnswerParser p;
    EXPECT_EQ(FeedAll(p, wire), AnswerParser::Outcome::Positive);
    ASSERT_EQ(p.Length(), 1u);
    EXPECT_EQ(p.Data()[0], 0xAA);
}

TEST(AnswerParser, FramesForOthersAndNonAnswersAreIgnored) {
    auto forOther = ModuleAnswer(0x05, 0xF0, {0x01}, 0x07);  // addressed to module 7
    auto request = ModuleAnswer(0x05, 0x70, {});             // a request, not an answer
    auto broadcast = ModuleAnswer(0x05, 0xF0, {0x42}, 0xFF); // to all: accepted
    std::vector<uint8_t> wire = forOther;
    wire.insert(wire.end(), request.begin(), request.end());
    wire.insert(wire.end(), broadcast.begin(), broadcast.end());
    AnswerParser p;
    EXPECT_EQ(FeedAll(p, wire), AnswerParser::Outcome::Positive);
    EXPECT_EQ(p.Data()[0], 0x42);
}

TEST(AnswerParser, RefusesAnAnswerLongerThanTheAnswerArea) {
    // Form 0x08 announcing 0x2001 = 8193 bytes.
    std::vector<uint8_t> wire = {0x02, 0xFD, 0x05, 0xF8, 0x20, 0x01};
    wire.insert(wire.end(), 9000, 0x11);
    AnswerParser p;
    EXPECT_EQ(FeedAll(p, wire), AnswerParser::Outcome::Pending);
    EXPECT_TRUE(p.RefusedOversize());
}
