// Received service lists as input modules answer them: decoded per input, cut at what the
// answer holds and at 100 services.
#include "editor/ReceivedServices.h"

#include "platform/ModuleType.h"

#include <gmock/gmock.h>

namespace kaptiv::editor {
namespace {

using ::testing::IsEmpty;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutName(std::vector<uint8_t>& out, const std::string& name) {
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
}

// One tuner section: m, the ids and names, the flags, transport stream and network ids.
std::vector<uint8_t> Section(int count, uint8_t flags = 0x01) {
    std::vector<uint8_t> out{static_cast<uint8_t>(count)};
    if (count == 0)
        return out;
    for (int i = 0; i < count; ++i) {
        Put16(out, static_cast<uint16_t>(100 + i));
        PutName(out, "S" + std::to_string(i));
    }
    for (int i = 0; i < count; ++i)
        out.push_back(flags);
    Put16(out, 0x1234);
    Put16(out, 0x5678);
    return out;
}

TEST(ReceivedServices, TunerSectionsDecodePerInput) {
    std::vector<uint8_t> answer = Section(2, 0x03);
    const auto b = Section(0);
    const auto c = Section(1, 0x00);
    answer.insert(answer.end(), b.begin(), b.end());
    answer.insert(answer.end(), c.begin(), c.end());
    const auto received = ParseReceivedServices(type::kSat2_0, answer);
    ASSERT_EQ(received.inputs.size(), 3u);
    ASSERT_EQ(received.inputs[0].services.size(), 2u);
    EXPECT_EQ(received.inputs[0].services[1], (ReceivedService{101, U"S1", 1, true}));
    EXPECT_EQ(received.inputs[0].transportStreamId, 0x1234);
    EXPECT_EQ(received.inputs[0].originalNetworkId, 0x5678);
    EXPECT_THAT(received.inputs[1].services, IsEmpty());
    ASSERT_EQ(received.inputs[2].services.size(), 1u);
    EXPECT_EQ(received.inputs[2].services[0].serviceType, 2);
    EXPECT_FALSE(received.inputs[2].services[0].crypted);
}

TEST(ReceivedServices, CountsPastTheAnswerAreCutAtWhatItHolds) {
    auto answer = Section(3);
    // Cut inside the flags: the names are complete but not every service is described.
    for (size_t keep = 0; keep < answer.size(); ++keep) {
        const std::vector<uint8_t> cut(answer.begin(), answer.begin() + static_cast<long>(keep));
        const auto received = ParseReceivedServices(type::kSat1, cut);
        ASSERT_EQ(received.inputs.size(), 1u);
        EXPECT_LE(received.inputs[0].services.size(), 3u);
    }
    // All three flag bytes present, the trailing ids missing: the services count.
    answer.resize(answer.size() - 4);
    EXPECT_EQ(ParseReceivedServices(type::kSat1, answer).inputs[0].services.size(), 3u);
    // A count of 200 over an answer with two services: two.
    auto claimed = Section(2);
    claimed[0] = 200;
    EXPECT_LE(ParseReceivedServices(type::kSat1, claimed).inputs[0].services.size(), 2u);
}

TEST(ReceivedServices, AtMostOneHundredPerInput) {
    const auto received = ParseReceivedServices(type::kSat1, Section(150));
    EXPECT_EQ(received.inputs[0].services.size(), kMaxReceivedServices);
    EXPECT_EQ(received.inputs[0].services.back().serviceId, 199);
}

TEST(ReceivedServices, EncoderServicesSpreadOverItsInputs) {
    std::vector<uint8_t> answer{5};
    for (int i = 0; i < 5; ++i) {
        Put16(answer, static_cast<uint16_t>(10 + i));
        PutName(answer, "E");
        answer.push_back(i == 0 ? 0x01 : 0x02);
    }
    auto received = ParseReceivedServices(type::kAvEncoder, answer);
    ASSERT_EQ(received.inputs.size(), 3u);
    EXPECT_EQ(received.inputs[0].services.size(), 1u);
    EXPECT_EQ(received.inputs[1].services.size(), 1u);
    EXPECT_EQ(received.inputs[2].services.size(), 3u); // the last input takes the rest
    EXPECT_TRUE(received.inputs[1].services[0].crypted);
    // The HD encoder has five; a cut last record is dropped.
    answer.pop_back();
    received = ParseReceivedServices(type::kHdEncoder, answer);
    ASSERT_EQ(received.inputs.size(), 5u);
    EXPECT_EQ(received.inputs[3].services.size(), 1u);
    EXPECT_THAT(received.inputs[4].services, IsEmpty());
    EXPECT_THAT(ParseReceivedServices(type::kHdEncoder, {}).inputs[0].services, IsEmpty());
}

} // namespace
} // namespace kaptiv::editor
