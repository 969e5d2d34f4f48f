#include "settings/BlockText.h"

#include <cstdio>

namespace kaptiv::settings {

namespace {

constexpr char32_t kDot = U'.';
constexpr uint8_t kFirstSearchedByte = 32;
constexpr uint8_t kTableApostrophe = 34;
constexpr uint8_t kTableHyphen = 173;
constexpr uint8_t kTextEnd = 0;

std::array<char32_t, 256> BuildCharacterTable() {
    std::array<char32_t, 256> table{};
    for (unsigned i = 0; i < table.size(); ++i) {
        if (i < 32 || (i >= 127 && i <= 160))
            table[i] = kDot;
        else
            table[i] = static_cast<char32_t>(i);
    }
    table[kTableApostrophe] = U'\'';
    table[kTableHyphen] = U'-';
    return table;
}

// Control bytes that a table-coded text may carry but that do not show (the network name's
// emphasis marks 0x86/0x87 among them, EN 300 468 annex A).
bool IsSkippedTableByte(uint8_t b) {
    return (b >= 0x01 && b <= 0x1F) || (b >= 0x80 && b <= 0x9F);
}

std::string TooLong(size_t size, size_t maxChars) {
    return "text of " + std::to_string(size) + " characters is longer than " + std::to_string(maxChars);
}

} // namespace

const std::array<char32_t, 256>& CharacterTable() {
    static const std::array<char32_t, 256> table = BuildCharacterTable();
    return table;
}

int AttenuationStepFromByte(uint8_t level) {
    for (int k = kMinAttenuationStep; k <= kMaxAttenuationStep; ++k) {
        if (AttenuationSteps[static_cast<size_t>(k - 1)] >= level)
            return k;
    }
    return kMaxAttenuationStep; // unreachable: the last entry is 255
}

std::optional<uint8_t> AttenuationByteFromStep(int step) {
    if (step < kMinAttenuationStep || step > kMaxAttenuationStep)
        return std::nullopt;
    return AttenuationSteps[static_cast<size_t>(step - 1)];
}

std::optional<uint8_t> TableByteOf(char32_t c) {
    const auto& table = CharacterTable();
    for (unsigned i = kFirstSearchedByte; i < table.size(); ++i) {
        if (table[i] == c)
            return static_cast<uint8_t>(i);
    }
    return std::nullopt;
}

std::string EncodeTableText(std::u32string_view text, size_t maxChars, platform::ByteWriter& out) {
    if (text.size() > maxChars)
        return TooLong(text.size(), maxChars);
    for (char32_t c : text) {
        if (const auto b = TableByteOf(c))
            out.U8(*b);
    }
    out.U8(kTextEnd);
    return {};
}

std::string CheckPlainText(std::u32string_view text, size_t maxChars) {
    if (text.size() > maxChars)
        return TooLong(text.size(), maxChars);
    for (size_t i = 0; i < text.size(); ++i) {
        if ((text[i] & 0xFF) == 0) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(text[i]));
            return std::string("character ") + code + " at position " + std::to_string(i) +
                   " cannot be written as an 8-bit text";
        }
    }
    return {};
}

std::string EncodePlainText(std::u32string_view text, size_t maxChars, platform::ByteWriter& out) {
    if (std::string why = CheckPlainText(text, maxChars); !why.empty())
        return why;
    for (char32_t c : text)
        out.U8(static_cast<uint8_t>(c & 0xFF));
    out.U8(kTextEnd);
    return {};
}

std::u32string DecodeTableText(platform::ByteReader& in) {
    const auto& table = CharacterTable();
    std::u32string text;
    while (!in.AtEnd()) {
        const uint8_t b = in.U8();
        if (b == kTextEnd)
            break;
        if (!IsSkippedTableByte(b))
            text.push_back(table[b]);
    }
    return text;
}

std::u32string DecodePlainText(platform::ByteReader& in) {
    std::u32string text;
    while (!in.AtEnd()) {
        const uint8_t b = in.U8();
        if (b == kTextEnd)
            break;
        text.push_back(static_cast<char32_t>(b));
    }
    return text;
}

} // namespace kaptiv::settings
