#include "settings/BlockText.h"

#include <gtest/gtest.h>

#include <vector>

namespace kaptiv::settings {
namespace {

std::vector<uint8_t> TableBytes(std::u32string_view text, size_t maxChars = 64) {
    platform::ByteWriter out(256);
    EXPECT_EQ(EncodeTableText(text, maxChars, out), "");
    return out.Take();
}

std::u32string ReadTable(std::vector<uint8_t> bytes) {
    platform::ByteReader in(bytes);
    return DecodeTableText(in);
}

std::u32string ReadPlain(std::vector<uint8_t> bytes) {
    platform::ByteReader in(bytes);
    return DecodePlainText(in);
}

TEST(CharacterTable, HoldsTwoApostrophesAndNoDoubleQuote) {
    const auto& table = CharacterTable();
    EXPECT_EQ(table[34], U'\'');
    EXPECT_EQ(table[39], U'\'');
    EXPECT_EQ(table[173], U'-');
    EXPECT_EQ(table[0], U'.');
    EXPECT_EQ(table[160], U'.');
    EXPECT_EQ(table[127], U'.');
    EXPECT_EQ(table[65], U'A');
    EXPECT_EQ(table[233], U'\u00E9');
    for (char32_t c : table)
        EXPECT_NE(c, U'"');
}

TEST(TableText, WritesFirstOccurrenceAndDropsWhatTheTableLacks) {
    // Apostrophe -> 34 (its first occurrence), double quote and soft hyphen dropped.
    EXPECT_EQ(TableBytes(U"a'\"b"), (std::vector<uint8_t>{'a', 34, 'b', 0}));
    EXPECT_EQ(TableBytes(U"x\u00ADy"), (std::vector<uint8_t>{'x', 'y', 0}));
    EXPECT_EQ(TableBytes(U"."), (std::vector<uint8_t>{46, 0}));
    EXPECT_EQ(TableBytes(U"-\u00E9"), (std::vector<uint8_t>{45, 0xE9, 0}));
    EXPECT_EQ(TableBytes(U""), (std::vector<uint8_t>{0}));
    // A character outside ISO 8859-1 is not in the table either.
    EXPECT_EQ(TableBytes(U"\u20ACz"), (std::vector<uint8_t>{'z', 0}));
}

TEST(TableText, ReadingSkipsControlBytesAndMapsThroughTheTable) {
    EXPECT_EQ(ReadTable({0x86, 'A', 0x87, 0}), U"A");
    EXPECT_EQ(ReadTable({0xAD, 0}), U"-");
    EXPECT_EQ(ReadTable({'"', 0}), U"'");
    EXPECT_EQ(ReadTable({0xA0, 0x7F, 0}), U"..");
}

TEST(PlainText, KeepsEveryByteUpToTheEnd) {
    EXPECT_EQ(ReadPlain({0xAD, 0}), U"\u00AD");
    EXPECT_EQ(ReadPlain({'a', 0x86, 0, 'b'}), U"a\u0086");
}

TEST(BlockTextRead, StopsAfterTheZeroByteOrAtTheEndOfData) {
    std::vector<uint8_t> bytes{'a', 'b', 0, 'c'};
    platform::ByteReader in(bytes);
    EXPECT_EQ(DecodeTableText(in), U"ab");
    EXPECT_EQ(in.Position(), 3u);
    EXPECT_EQ(DecodePlainText(in), U"c"); // unterminated: ends with the data
    EXPECT_TRUE(in.AtEnd());
    EXPECT_TRUE(in.Ok());
    EXPECT_EQ(DecodePlainText(in), U"");
}

TEST(PlainText, RefusesACharacterThatWouldEndTheTextEarly) {
    platform::ByteWriter out(64);
    const std::string why = EncodePlainText(U"ab\u0100cd", 31, out);
    EXPECT_NE(why.find("U+0100"), std::string::npos) << why;
    EXPECT_EQ(out.Size(), 0u);
    // Other characters beyond 8 bits keep their low byte, as the modules have always received.
    EXPECT_EQ(EncodePlainText(U"\u0141", 31, out), "");
    EXPECT_EQ(out.Data(), (std::vector<uint8_t>{0x41, 0}));
}

TEST(BlockText, RefusesTextsOverTheirLimit) {
    platform::ByteWriter out(256);
    const std::u32string name(32, U'n');
    EXPECT_NE(EncodeTableText(name, 31, out), "");
    EXPECT_NE(EncodePlainText(name, 31, out), "");
    EXPECT_EQ(out.Size(), 0u);
    EXPECT_EQ(EncodeTableText(name.substr(1), 31, out), "");
    EXPECT_EQ(out.Size(), 32u);
}

TEST(AttenuationSteps, StepFromByteTakesTheSmallestStepNotBelow) {
    EXPECT_EQ(AttenuationStepFromByte(10), 2);
    EXPECT_EQ(AttenuationStepDecibels(AttenuationStepFromByte(10)), -28);
    EXPECT_EQ(AttenuationStepFromByte(26), 11);
    EXPECT_EQ(AttenuationStepFromByte(0), 1);
    EXPECT_EQ(AttenuationStepFromByte(255), 30);
    EXPECT_EQ(AttenuationStepFromByte(254), 30);
    for (int k = 1; k <= 30; ++k)
        EXPECT_EQ(AttenuationStepFromByte(*AttenuationByteFromStep(k)), k);
    EXPECT_FALSE(AttenuationByteFromStep(0));
    EXPECT_FALSE(AttenuationByteFromStep(31));
}

TEST(Utf8, RoundTripsAndRefusesMalformedInput) {
    const std::u32string text = U"Caf\u00E9 \u20AC \U0001F4FA";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(U"\u00E9"), "\xC3\xA9");
    EXPECT_FALSE(FromUtf8("\xC3"));
    EXPECT_FALSE(FromUtf8("\xC0\x80"));     // overlong
    EXPECT_FALSE(FromUtf8("\xED\xA0\x80")); // surrogate
}

} // namespace
} // namespace kaptiv::settings
