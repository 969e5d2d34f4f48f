// Status answers of the chain's modules as the settings page reads them: short answers give
// only what they hold.
#include "editor/PageStatus.h"

#include <gtest/gtest.h>

using namespace kaptiv::editor;

TEST(PageStatus, TunerAnswersGiveOnlyCompleteInputs) {
    const std::vector<uint8_t> twin = {2, 80, 60, 1, 40, 20, 1, 7, 192, 168, 0, 9};
    TunerStatus s = ParseTunerStatus(2, true, twin);
    ASSERT_EQ(s.inputs.size(), 2u);
    EXPECT_EQ(s.inputs[1].lock, 1);
    EXPECT_EQ(s.inputs[1].quality, 20);
    EXPECT_EQ(s.usbKey, 1);
    EXPECT_EQ(s.changeIndicator, 7);
    EXPECT_EQ(s.receiver, (std::array<uint8_t, 4>{192, 168, 0, 9}));

    // Cut inside input B and inside the receiver's address.
    s = ParseTunerStatus(2, true, std::span(twin).first(5));
    EXPECT_EQ(s.inputs.size(), 1u);
    EXPECT_FALSE(s.usbKey.has_value());
    s = ParseTunerStatus(2, true, std::span(twin).first(10));
    EXPECT_EQ(s.changeIndicator, 7);
    EXPECT_FALSE(s.receiver.has_value());
    EXPECT_TRUE(ParseTunerStatus(1, false, {}).inputs.empty());
}

TEST(PageStatus, ModulatorChannelsAndServiceRates) {
    std::vector<uint8_t> answer(52, 0);
    // Channel 2 (offset 16): 1000000 of 2000000 bit/s.
    answer[16 + 1] = 0x0F, answer[16 + 2] = 0x42, answer[16 + 3] = 0x40;
    answer[20 + 1] = 0x1E, answer[20 + 2] = 0x84, answer[20 + 3] = 0x80;
    answer.insert(answer.end(), {0x00, 0x65, 0x01, 0x00, 0x00, 0x66}); // one record and a half
    const ModulatorStatus s = ParseModulatorStatus(4, answer);
    ASSERT_EQ(s.channels.size(), 4u);
    EXPECT_EQ(s.channels[1].usedBps, 1000000u);
    EXPECT_EQ(s.channels[1].capacityBps, 2000000u);
    ASSERT_EQ(s.services.size(), 1u);
    EXPECT_EQ(s.services[0].serviceId, 0x65);
    EXPECT_EQ(s.services[0].rateBps, 0x100u);
    // The single-channel type lists its services from offset 16.
    EXPECT_EQ(ParseModulatorStatus(1, answer).services.front().serviceId, 0x000F);
    // A short answer: only the channels it holds.
    EXPECT_EQ(ParseModulatorStatus(4, std::span(answer).first(30)).channels.size(), 2u);
}

TEST(PageStatus, StreamerTotalAndCounts) {
    const std::vector<uint8_t> answer = {0, 0, 0x03, 0xC6, 0x00, 0x10, 0, 0, 0x07, 0x58, 0x00};
    const StreamerStatus s = ParseStreamerStatus(answer);
    EXPECT_EQ(s.total, 966u);
    ASSERT_EQ(s.services.size(), 1u);
    EXPECT_EQ(s.services[0].rateBps, 1880u / 188u);
    EXPECT_EQ(StreamerTotalKbps(966, 0), 3008u);
    EXPECT_EQ(StreamerTotalKbps(958, 1), 3008u);
    EXPECT_FALSE(ParseStreamerStatus(std::span(answer).first(3)).total.has_value());
}
