#include "platform/HexText.h"

#include <gtest/gtest.h>

using kaptiv::platform::ParseHexText;

TEST(HexText, PairsCommentsAndWhiteSpace) {
    const auto result = ParseHexText("# header\r\n0A 1b\tFF # trailing\n\n  0102\n");
    ASSERT_TRUE(result.Ok()) << result.error;
    EXPECT_EQ(result.bytes, (std::vector<uint8_t>{0x0A, 0x1B, 0xFF, 0x01, 0x02}));
    EXPECT_TRUE(ParseHexText("").Ok());
    EXPECT_TRUE(ParseHexText("# only a comment").bytes.empty());
}

TEST(HexText, RefusalsNameTheLine) {
    struct Case {
        const char* text;
        int line;
        const char* says;
    } cases[] = {
        {"zz\n", 1, "line 1: 'z' is not hex text"},
        {"00\n01\n0x02\n", 3, "line 3: 'x' is not hex text"},
        {"00,01", 1, "',' is not hex text"},
        {"0 1", 1, "line 1: a hex byte needs two digits"},
        {"00\n0\n11", 2, "line 2: a hex byte needs two digits"},
        {"00\n01\n0", 3, "line 3: odd number of hex digits"},
        {"0# cut", 1, "a hex byte needs two digits"},
        {"\x01", 1, "byte 0x01 is not hex text"},
    };
    for (const Case& c : cases) {
        const auto result = ParseHexText(c.text);
        EXPECT_FALSE(result.Ok()) << c.text;
        EXPECT_EQ(result.line, c.line) << c.text;
        EXPECT_NE(result.error.find(c.says), std::string::npos) << c.text << ": " << result.error;
        EXPECT_TRUE(result.bytes.empty()) << c.text;
    }
}

// The hex of one field: the separators a caller names may stand between pairs, never inside a
// pair, and a bound on the byte count refuses a longer text instead of cutting it.
TEST(HexPairs, SeparatorsBetweenPairsOnlyAndABound) {
    using kaptiv::platform::ParseHexPairs;
    EXPECT_EQ(ParseHexPairs("02:4D 56\t13", " \t:").bytes, (std::vector<uint8_t>{0x02, 0x4D, 0x56, 0x13}));
    EXPECT_EQ(ParseHexPairs("F0a1", "").bytes, (std::vector<uint8_t>{0xF0, 0xA1}));
    EXPECT_TRUE(ParseHexPairs("", "").Ok());

    EXPECT_EQ(ParseHexPairs("0 2", " ").error, "a hex byte needs two digits");
    EXPECT_EQ(ParseHexPairs("02 4", " ").error, "a hex byte needs two digits");
    EXPECT_EQ(ParseHexPairs("02:4D", " ").error, "':' is not a hex digit");
    EXPECT_EQ(ParseHexPairs("0A\n0B", " ").error, "byte 0x0A is not a hex digit");
    EXPECT_TRUE(ParseHexPairs("0 2", " ").bytes.empty());

    EXPECT_TRUE(ParseHexPairs("010203", "", 3).Ok());
    const auto longer = ParseHexPairs("01020304", "", 3);
    EXPECT_EQ(longer.error, "more than 3 bytes");
    EXPECT_TRUE(longer.bytes.empty());
}
