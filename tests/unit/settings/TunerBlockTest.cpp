#include "settings/TunerBlock.h"

#include "BlockTestSupport.h"
#include "platform/ModuleType.h"

#include <gtest/gtest.h>

namespace kaptiv::settings {
namespace {

using test::Fixture;
using test::Hex;
using test::SameBytes;

TunerValues Decoded(uint8_t type, const std::vector<uint8_t>& block) {
    auto result = DecodeTunerBlock(type, block);
    EXPECT_TRUE(result.Ok()) << result.error;
    return result.values;
}

std::vector<uint8_t> Encoded(const TunerValues& values) {
    auto result = EncodeTunerBlock(values, ChecksFor(values));
    EXPECT_TRUE(result.Ok()) << result.error;
    return result.block;
}

TEST(TunerFrequency, WordsFollowTheBandOfTheFrequency) {
    EXPECT_EQ(FrequencyFromWord(0x8186), 10990);
    EXPECT_EQ(FrequencyWordOf(10990), 0x04D8); // the high-band word comes back low band
    EXPECT_EQ(FrequencyWordOf(11700), 0x844C);
    EXPECT_EQ(FrequencyWordOf(11699), 0x079D);
    EXPECT_EQ(FrequencyFromWord(0x079D), 11699);
    EXPECT_EQ(FrequencyFromWord(0x844C), 11700);
}

TEST(TunerFrequency, RefusesFrequenciesTheWordCannotCarry) {
    EXPECT_TRUE(FrequencyWordFits(9750));
    EXPECT_FALSE(FrequencyWordFits(9749));
    EXPECT_TRUE(FrequencyWordFits(10600 + 0x7FFF));
    EXPECT_FALSE(FrequencyWordFits(10600 + 0x8000));

    TunerValues v;
    v.type = type::kSat1;
    v.sections.resize(1);
    v.sections[0].frequencyMHz = 9000;
    const auto result = EncodeTunerBlock(v, {});
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(result.error.find("9000 MHz"), std::string::npos) << result.error;
}

TEST(TunerBlock, SingleSectionGoldenBytes) {
    // 06 4C  frequency word 11362 MHz, low band
    // 55 F0  symbol rate 22000
    // 10     FEC code 16 = "3/4"
    // 02     two services: 3101 clear, 3104 via the second CI module
    const auto golden = Hex("06 4C 55 F0 10 02 0C 1D 0C 20 00 02");
    const TunerValues v = Decoded(type::kSat1_0, golden);
    ASSERT_EQ(v.sections.size(), 1u);
    EXPECT_EQ(v.sections[0].frequencyMHz, 11362);
    EXPECT_EQ(v.sections[0].symbolRate, 22000);
    EXPECT_STREQ(FecText(v.sections[0].fecIndex), "3/4");
    EXPECT_EQ(v.sections[0].services, (std::vector<SelectedService>{{3101, 0}, {3104, 2}}));
    EXPECT_TRUE(SameBytes(golden, Encoded(v)));
}

TEST(TunerBlock, KeepsAnUnlistedFecCodeOfType4) {
    const auto block = Hex("86 34 6B 6C 13 00"); // FEC code 19: no rate of the list
    const TunerValues v = Decoded(type::kSat1, block);
    EXPECT_STREQ(FecText(v.sections[0].fecIndex), "");
    EXPECT_TRUE(SameBytes(block, Encoded(v)));
}

TEST(TunerBlock, MissingCamNumbersReadAsOne) {
    // Two services announced, only the first CAM byte present.
    const TunerValues v = Decoded(type::kSat1_0, Hex("06 4C 55 F0 0F 02 0C 1D 0C 1E 00"));
    EXPECT_EQ(v.sections[0].services, (std::vector<SelectedService>{{3101, 0}, {3102, 1}}));
}

TEST(TunerBlock, SectionsOnlyBlockTakesTailDefaultsAndGetsNoLockFields) {
    // Decoding a full block first proves nothing is carried over to the next decode.
    ASSERT_TRUE(DecodeTunerBlock(type::kSat2_0, Fixture("type-7.hex")).Ok());
    const auto shortBlock = Fixture("type-7-short.hex");
    ASSERT_EQ(shortBlock.size(), 30u);
    const TunerValues v = Decoded(type::kSat2_0, shortBlock);
    EXPECT_EQ(v.streamingServiceId, 0);
    EXPECT_TRUE(v.schedule.empty());
    EXPECT_EQ(v.streamedName, U"");
    EXPECT_EQ(v.serverAddress, U"0.0.0.0");
    EXPECT_EQ(v.switchA, 0);
    EXPECT_EQ(v.lockTimeout, 8);
    EXPECT_TRUE(v.lockWatchdog);
    EXPECT_FALSE(v.lockFieldsPresent);

    const auto block = Encoded(v);
    std::vector<uint8_t> expected = shortBlock;
    const auto tail = Hex("00 00"                   // streaming service id
                          "00"                      // no schedule
                          "00"                      // rate
                          "00"                      // empty streamed name
                          "00 00 00 00 00 00 00 00" // kept bytes
                          "30 2E 30 2E 30 2E 30 00" // "0.0.0.0" table-coded
                          "00 00 00 00"             // port, switches
                          "00 06 00 00 00 00"       // tuning A: standard 0, 6 MHz, 0 kHz
                          "00 06 00 00 00 00");     // tuning B; no lock fields
    expected.insert(expected.end(), tail.begin(), tail.end());
    ASSERT_EQ(expected.size(), 67u);
    EXPECT_TRUE(SameBytes(expected, block));
}

TEST(TunerBlock, LockFieldsSurviveWhateverMovesThem) {
    TunerValues v = Decoded(type::kSat2_0, Fixture("type-7.hex"));
    ASSERT_TRUE(v.lockFieldsPresent);
    ASSERT_EQ(v.lockTimeout, 12);
    v.sections[0].services.push_back({1106, 0});
    v.schedule.push_back({1300, 1320, U"extra.ts"});
    const auto block = Encoded(v);
    ASSERT_GE(block.size(), 3u);
    EXPECT_TRUE(SameBytes(Hex("00 0C 01"), {block.end() - 3, block.end()}));
    const TunerValues again = Decoded(type::kSat2_0, block);
    EXPECT_EQ(again.lockTimeout, 12);
    EXPECT_TRUE(again.lockFieldsPresent);

    // A module whose block stopped before them never receives them, even when the new block is
    // shorter than the one it sent.
    TunerValues withoutLock = Decoded(type::kSat2_0, std::vector<uint8_t>(block.begin(), block.end() - 3));
    ASSERT_FALSE(withoutLock.lockFieldsPresent);
    withoutLock.sections[0].services.clear();
    withoutLock.schedule.clear();
    EXPECT_FALSE(Decoded(type::kSat2_0, Encoded(withoutLock)).lockFieldsPresent);
}

TEST(TunerBlock, LockCheckBoxesDecideTheWrittenValues) {
    TunerValues v = Decoded(type::kSat2_0, Fixture("type-7.hex"));
    auto lockBytes = [&](uint16_t timeout, TunerChecks checks) {
        v.lockTimeout = timeout;
        const auto result = EncodeTunerBlock(v, checks);
        EXPECT_TRUE(result.Ok()) << result.error;
        return std::vector<uint8_t>(result.block.end() - 3, result.block.end());
    };
    EXPECT_EQ(lockBytes(0, {true, true}), Hex("00 08 01"));   // checked with 0 s: the default
    EXPECT_EQ(lockBytes(30, {false, true}), Hex("00 00 01")); // cleared: 0 whatever the field holds
    EXPECT_EQ(lockBytes(30, {true, false}), Hex("00 1E 00"));
}

TEST(TunerBlock, ServerAddressIsWrittenTableCodedAndReadPlain) {
    TunerValues v = Decoded(type::kSat2_0, Fixture("type-7-short.hex"));
    v.serverAddress = U"10.0.\"1\".2";
    const TunerValues again = Decoded(type::kSat2_0, Encoded(v));
    EXPECT_EQ(again.serverAddress, U"10.0.1.2"); // the table has no double quote

    v.serverAddress = std::u32string(65, U'1');
    EXPECT_FALSE(EncodeTunerBlock(v, ChecksFor(v)).Ok());
}

TEST(TunerBlock, RefusesWhatDoesNotFitItsField) {
    TunerValues v = Decoded(type::kSat2_0, Fixture("type-7.hex"));
    TunerValues tooMany = v;
    tooMany.sections[1].services.assign(101, {1, 0});
    EXPECT_NE(EncodeTunerBlock(tooMany, {}).error.find("section B"), std::string::npos);

    TunerValues longSchedule = v;
    longSchedule.schedule.resize(11);
    EXPECT_FALSE(EncodeTunerBlock(longSchedule, {}).Ok());

    TunerValues huge = v;
    for (auto& entry : huge.schedule)
        entry.fileName = std::u32string(500, U'f');
    EXPECT_NE(EncodeTunerBlock(huge, {}).error.find("1024"), std::string::npos);

    TunerValues badName = v;
    badName.streamedName = U"A\u0100B";
    EXPECT_FALSE(EncodeTunerBlock(badName, {}).Ok());
}

TEST(TunerBlock, RefusesBlocksItCannotHold) {
    EXPECT_FALSE(DecodeTunerBlock(type::kSat2_0, std::vector<uint8_t>(1025, 0)).Ok());
    EXPECT_FALSE(DecodeTunerBlock(type::kSat1_0, Hex("06 4C 55 F0 0F 65")).Ok()); // 101 services
    EXPECT_FALSE(DecodeTunerBlock(type::kAvEncoder, Hex("00")).Ok());
    auto schedule = Fixture("type-7-short.hex");
    const auto tail = Hex("04 A6 0B"); // 11 schedule entries
    schedule.insert(schedule.end(), tail.begin(), tail.end());
    EXPECT_FALSE(DecodeTunerBlock(type::kSat2_0, schedule).Ok());
}

} // namespace
} // namespace kaptiv::settings
