// Rules over the rack image: the pass-through lists of later inputs (rule P) and the
// descrambled-upstream marks of the modulators after a chain.
#include "EditorTestSupport.h"

#include "editor/ChainRules.h"
#include "settings/EncoderBlock.h"

#include <gmock/gmock.h>

namespace kaptiv::editor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<uint16_t> SectionC(Rack& rack, int row) {
    const auto decoded = settings::DecodeTunerBlock(rack.At(row).type, rack.At(row).Block());
    EXPECT_TRUE(decoded.Ok());
    std::vector<uint16_t> ids;
    for (const auto& s : decoded.values.sections.at(2).services)
        ids.push_back(s.serviceId);
    return ids;
}

std::vector<bool> Marks(Rack& rack, int row) {
    const auto decoded = settings::DecodeModulatorBlock(rack.At(row).type, rack.At(row).Block());
    EXPECT_TRUE(decoded.Ok());
    std::vector<bool> marks;
    for (const auto& s : decoded.values.services)
        marks.push_back(s.descrambledUpstream);
    return marks;
}

TEST(PassThrough, LaterInputsUpToButNotIncludingTheLastReceiveTheId) {
    Rack rack;
    const int first = rack.Add(type::kSat2_0, Encoded(Tuner(type::kSat2_0, {})));
    const int second = rack.Add(type::kSat2, Encoded(Tuner(type::kSat2, {})));
    rack.Add(type::kCommonInterface);
    const int third = rack.Add(type::kTerrestrial, Encoded(Tuner(type::kTerrestrial, {})));
    const int last = rack.Add(type::kSat2_0, Encoded(Tuner(type::kSat2_0, {})));
    rack.Add(type::kModT4, Encoded(type::kModT4, Modulator({})));
    const auto lastBefore = rack.Block(last);

    EXPECT_TRUE(ApplyPassThrough(*rack.image, first, 321, true));
    EXPECT_THAT(SectionC(rack, second), ElementsAre(321));
    EXPECT_THAT(SectionC(rack, third), ElementsAre(321));
    EXPECT_EQ(rack.Block(last), lastBefore); // belongs with the output: its own page keeps it
    EXPECT_THAT(SectionC(rack, first), IsEmpty());
    // Adding twice changes nothing; removing takes it out again.
    EXPECT_FALSE(ApplyPassThrough(*rack.image, first, 321, true));
    EXPECT_TRUE(ApplyPassThrough(*rack.image, first, 321, false));
    EXPECT_THAT(SectionC(rack, second), IsEmpty());
    // From the third input on, only the last would follow: nothing to do.
    EXPECT_FALSE(ApplyPassThrough(*rack.image, third, 321, true));
}

TEST(PassThrough, EncodersTakeTheIdInTheirListAndKeepTheirCounter) {
    Rack rack;
    const int first = rack.Add(type::kSat1, Encoded(Tuner(type::kSat1, {})));
    settings::EncoderValues encoder;
    encoder.counter = 9;
    bool changed = false;
    const int av = rack.Add(type::kAvEncoder, settings::EncodeEncoderBlock(encoder, changed).block);
    rack.Add(type::kHdEncoder);
    rack.Add(type::kModT2, Encoded(type::kModT2, Modulator({})));
    EXPECT_TRUE(ApplyPassThrough(*rack.image, first, 55, true));
    const auto decoded = settings::DecodeEncoderBlock(rack.At(av).Block());
    EXPECT_THAT(decoded.values.passThrough[0], ElementsAre(55));
    EXPECT_EQ(decoded.values.counter, 9);
}

TEST(PassThrough, AnIdHeldInAnEncodersSecondListIsRemoved) {
    Rack rack;
    const int first = rack.Add(type::kSat1, Encoded(Tuner(type::kSat1, {})));
    settings::EncoderValues encoder;
    encoder.passThrough[0] = {41};
    encoder.passThrough[1] = {55, 56};
    bool changed = false;
    const int av = rack.Add(type::kAvEncoder, settings::EncodeEncoderBlock(encoder, changed).block);
    rack.Add(type::kHdEncoder);
    rack.Add(type::kModT2, Encoded(type::kModT2, Modulator({})));
    EXPECT_TRUE(ApplyPassThrough(*rack.image, first, 55, false));
    const auto decoded = settings::DecodeEncoderBlock(rack.At(av).Block());
    ASSERT_TRUE(decoded.Ok());
    EXPECT_THAT(decoded.values.passThrough[0], ElementsAre(41, 56));
    // Gone from every list: a second removal finds nothing.
    EXPECT_FALSE(ApplyPassThrough(*rack.image, first, 55, false));
}

TEST(DescrambledUpstream, MarksFollowTheCamSelectionsOfTheWholeRun) {
    Rack rack;
    const int tunerA = rack.Add(type::kSat1, Encoded(Tuner(type::kSat1, {{{101, 1}, {102, 0}}})));
    rack.Add(type::kCommonInterface);
    const int tunerB = rack.Add(type::kSat2, Encoded(Tuner(type::kSat2, {{}, {{103, 2}}, {}})));
    const int four =
        rack.Add(type::kModT4, Encoded(type::kModT4, [] {
                     auto m = Modulator({OnChannel(101, 1), OnChannel(102, 2), OnChannel(103, 3)});
                     m.services[1].descrambledUpstream = true; // stale mark: cleared
                     return m;
                 }()));
    const int single =
        rack.Add(type::kModT1, Encoded(type::kModT1, Modulator({OnChannel(102, 1), OnChannel(103, 1)})));
    const int streamer = rack.Add(type::kIpStreamer, Encoded([] {
                                      settings::IpStreamerValues v;
                                      v.services = {{101, 1}};
                                      return v;
                                  }()));
    // The IP streamer does not end the outputs of the run; an input does.
    const int after = rack.Add(type::kModT2, Encoded(type::kModT2, Modulator({OnChannel(101, 1)})));
    rack.Add(type::kSat1, Encoded(Tuner(type::kSat1, {})));
    const int beyond = rack.Add(type::kModT2, Encoded(type::kModT2, Modulator({OnChannel(101, 1)})));
    const auto streamerBefore = rack.Block(streamer);
    const auto beyondBefore = rack.Block(beyond);
    const auto fourBefore = rack.Block(four);

    // From the second input of the run: the walk goes back to its first module.
    EXPECT_TRUE(ApplyDescrambledUpstream(*rack.image, tunerB));
    EXPECT_THAT(Marks(rack, four), ElementsAre(true, false, true));
    EXPECT_THAT(Marks(rack, single), ElementsAre(false, true));
    EXPECT_THAT(Marks(rack, after), ElementsAre(true));
    EXPECT_EQ(rack.Block(streamer), streamerBefore);
    EXPECT_EQ(rack.Block(beyond), beyondBefore);
    // Only the marks changed: the channel bytes of the four-channel block, nothing else.
    const auto fourAfter = rack.Block(four);
    ASSERT_EQ(fourAfter.size(), fourBefore.size());
    for (size_t i = 0; i < fourAfter.size(); ++i) {
        if (fourAfter[i] != fourBefore[i]) {
            EXPECT_TRUE(i == 9 + 2 || i == 9 + 3 + 2 || i == 9 + 6 + 2) << i;
        }
    }
    // Applying again changes nothing.
    EXPECT_FALSE(ApplyDescrambledUpstream(*rack.image, tunerA));
}

TEST(DescrambledUpstream, ShortOrCorruptBlocksAreLeftAlone) {
    Rack rack;
    const int tuner = rack.Add(type::kSat1, Encoded(Tuner(type::kSat1, {{{101, 1}}})));
    const std::vector<uint8_t> shortBlock = {0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 101}; // 5 services, 1 held
    const int mod = rack.Add(type::kModT2, shortBlock);
    EXPECT_FALSE(ApplyDescrambledUpstream(*rack.image, tuner));
    EXPECT_EQ(rack.Block(mod), shortBlock);
}

} // namespace
} // namespace kaptiv::editor::test
