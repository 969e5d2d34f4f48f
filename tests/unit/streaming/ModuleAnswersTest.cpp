// The name list answer and the log file name.
#include "streaming/ModuleAnswers.h"

#include <gtest/gtest.h>

using namespace kaptiv::streaming;

TEST(NameList, NamesAfterTheCountEachEndedByZero) {
    const std::vector<uint8_t> answer{0xAA, 0xBB, 0, 2, 'a', '.', 't', 's', 0, 'b', 0};
    const auto list = ParseNameList(answer);
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->complete);
    EXPECT_EQ(list->names, (std::vector<std::string>{"a.ts", "b"}));
    // Bytes after the announced names are not names.
    std::vector<uint8_t> more = answer;
    more.insert(more.end(), {'c', 0});
    EXPECT_EQ(ParseNameList(more)->names.size(), 2u);
}

TEST(NameList, EmptyKeyShortAndCutAnswers) {
    EXPECT_TRUE(ParseNameList(std::vector<uint8_t>{0, 0, 0, 0})->names.empty());
    EXPECT_FALSE(ParseNameList(std::vector<uint8_t>{0, 0, 0}));
    // Three announced, one and a half present: the whole one is kept, the list is marked cut.
    const auto cut = ParseNameList(std::vector<uint8_t>{0, 0, 0, 3, 'a', 0, 'b', 'c'});
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->complete);
    EXPECT_EQ(cut->names, (std::vector<std::string>{"a"}));
    // A count in the thousands over a few bytes stops at the bytes.
    const auto huge = ParseNameList(std::vector<uint8_t>{0, 0, 0xFF, 0xFF, 0, 0});
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->names.size(), 2u);
    EXPECT_FALSE(huge->complete);
}

TEST(LogName, AddressMinusNineAndLocalDateAndTime) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_hour = 23;
    t.tm_min = 38;
    t.tm_sec = 45;
    EXPECT_EQ(LogFileName("/work/kaptiv", 12, t), "/work/kaptiv/logs/LOG_M3_20261206_233845.txt");
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(LogFileName(".", 23, t), "./logs/LOG_M14_20261206_070509.txt");
}
