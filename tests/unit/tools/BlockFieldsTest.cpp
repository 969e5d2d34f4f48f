// The field visitors on a small declaration of their own: one declaration gives the JSON and
// reads it back, reading changes only what the JSON names, and problems carry their path.
#include "tools/json/BlockFields.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace kaptiv::tools {
namespace {

enum class Colour : uint8_t { Red = 0, Green = 1, Blue = 2 };
constexpr FieldNames<Colour, 3> kColours = {
    {{"RED", Colour::Red}, {"GREEN", Colour::Green}, {"BLUE", Colour::Blue}}};
constexpr std::array<const char*, 2> kSizes = {"small", "large"};

struct Item {
    uint16_t id = 0;
    bool on = false;
};

struct Sample {
    int level = 5;
    uint8_t size = 0;
    Colour colour = Colour::Red;
    std::array<uint8_t, 3> key{};
    std::array<Item, 2> slots{};
    std::vector<Item> items;
    uint16_t extra = 0;
};

template <class V, class S> void SampleFields(V& v, S& s, bool showExtra) {
    v.Integer("level", s.level, -10, 10);
    v.Choice("size", "sizeText", s.size, kSizes);
    v.Named("colour", s.colour, kColours);
    v.Hex("key", s.key, ':');
    v.Objects("slots", s.slots, s.slots.size(), [](auto& v, auto& item, size_t) {
        v.Required("id", item.id);
        v.Bool("on", item.on);
    });
    v.Entries("items", s.items, 3, [](auto& v, auto& item, size_t i) {
        v.Integer("id", item.id);
        v.Shown("position", [i] { return i; });
    });
    v.WrittenIf(showExtra, [&](auto& v) { v.Integer("extra", s.extra); });
}

nlohmann::json Write(const Sample& s, bool showExtra = false) {
    return WriteJson([&](auto& v) { SampleFields(v, s, showExtra); });
}

template <class Messages = PathMessages> std::string Read(const char* text, Sample& s) {
    std::string error;
    ReadJson<Messages>(nlohmann::json::parse(text), error, [&](auto& v) { SampleFields(v, s, false); });
    return error;
}

TEST(BlockFields, OneDeclarationWritesAndReadsBack) {
    Sample s;
    s.level = -3;
    s.size = 7; // a code outside its list keeps its number, its text is null
    s.colour = Colour::Blue;
    s.key = {0x0A, 0xB1, 0xFF};
    s.slots[1] = {513, true};
    s.items = {{7, false}, {8, false}};
    s.extra = 99;
    const nlohmann::json json = Write(s);
    EXPECT_EQ(json.dump(), R"({"colour":"BLUE","items":[{"id":7,"position":0},{"id":8,"position":1}],)"
                           R"("key":"0A:B1:FF","level":-3,"size":7,"sizeText":null,)"
                           R"("slots":[{"id":0,"on":false},{"id":513,"on":true}]})");
    EXPECT_EQ(Write(s, true)["extra"], 99);

    Sample back;
    std::string error;
    EXPECT_TRUE(ReadJson<PathMessages>(json, error, [&](auto& v) { SampleFields(v, back, false); })) << error;
    back.extra = 99;
    EXPECT_EQ(Write(back, true), Write(s, true));
}

TEST(BlockFields, ReadingChangesOnlyWhatTheJsonNames) {
    Sample s;
    s.items = {{1, true}, {2, true}, {3, true}};
    s.slots = {Item{10, true}, Item{20, true}};
    EXPECT_EQ(Read(R"({"slots":[{"id":11}],"items":[{"id":4}],"extra":5,"key":"01 02 0a"})", s), "");
    // Fixed slots are filled in place; a list is replaced by fresh entries.
    EXPECT_EQ(s.slots[0].id, 11);
    EXPECT_TRUE(s.slots[0].on);
    EXPECT_EQ(s.slots[1].id, 20);
    ASSERT_EQ(s.items.size(), 1u);
    EXPECT_FALSE(s.items[0].on);
    // Fields written only on condition are read whenever present; hex may use blanks.
    EXPECT_EQ(s.extra, 5);
    EXPECT_EQ(s.key, (std::array<uint8_t, 3>{1, 2, 10}));
    EXPECT_EQ(s.level, 5);
}

TEST(BlockFields, TheFirstProblemIsKeptWithItsPath) {
    Sample s;
    EXPECT_EQ(Read(R"({"level":11,"size":"x"})", s), "level: expected an integer from -10 to 10");
    EXPECT_EQ(s.size, 0); // nothing after the first problem is read
    EXPECT_EQ(Read(R"({"slots":[{"id":1},{"on":true}]})", s), "slots[1].id: missing");
    EXPECT_EQ(Read(R"({"slots":[{"id":1},{"id":2},{"id":3}]})", s), "slots: at most 2 entries");
    EXPECT_EQ(Read(R"({"items":[{},{},{},{}]})", s), "items: at most 3 entries");
    EXPECT_EQ(Read(R"({"items":[{"id":65536}]})", s), "items[0].id: expected an integer from 0 to 65535");
    EXPECT_EQ(Read(R"({"colour":"PINK"})", s), R"(colour: expected one of "RED" "GREEN" "BLUE")");
    EXPECT_EQ(Read(R"({"key":"01:02"})", s), R"(key: expected 3 bytes in hexadecimal ("0A 1B ..."))");
    EXPECT_EQ(Read(R"({"key":"0:10:20"})", s), R"(key: expected 3 bytes in hexadecimal ("0A 1B ..."))");
    EXPECT_EQ(Read(R"({"size":1.0})", s), "size: expected an integer");
    EXPECT_EQ(Read(R"({"size":18446744073709551615})", s), "size: expected an integer from 0 to 255");
    EXPECT_EQ(Read(R"([1])", s), ": expected an object");
    EXPECT_EQ(Read<PhraseMessages>(R"({"colour":3,"level":-11})", s), "level is outside -10 to 10");
    EXPECT_EQ(Read<PhraseMessages>(R"({"slots":[{"id":1},5]})", s), "slots[1] is not an object");
    EXPECT_EQ(Read<PhraseMessages>(R"({"colour":"PINK"})", s), R"(colour is none of "RED", "GREEN", "BLUE")");
}

} // namespace
} // namespace kaptiv::tools
