#pragma once
// Texts and levels shared by every parameter block layout.
//
// Texts are held as std::u32string: one element per character, the character's Unicode code
// point (every character a block can carry is in ISO 8859-1). Two encodings exist on the wire:
//  - table-coded: each character is the byte of its first occurrence in CharacterTable, searched
//    from index 32 upward; characters that do not occur are left out; a 0 byte ends the text.
//    Reading skips the control bytes 0x01-0x1F and 0x80-0x9F and maps every other byte through
//    the table.
//  - plain: each character is the low 8 bits of its code; a 0 byte ends the text.
// Multi-byte numbers are big-endian; use platform::ByteReader / ByteWriter for them.
#include "platform/Bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kaptiv::settings {

// Byte value -> character. Index 34 is an apostrophe (so the table has two, at 34 and 39, and no
// double quote) and index 173 is "-" instead of the soft hyphen; 0-31 and 127-160 show as ".".
const std::array<char32_t, 256>& CharacterTable();

// Output level bytes of the modulators; step k (1 to 30) uses entry k - 1, about 1 dB apart.
inline constexpr std::array<uint8_t, 30> AttenuationSteps = {9,  10,  11,  12,  14,  16,  18,  20,  22,  25,
                                                             28, 32,  36,  40,  45,  50,  57,  64,  71,  80,
                                                             90, 101, 113, 127, 143, 160, 180, 202, 227, 255};
inline constexpr int kMinAttenuationStep = 1;
inline constexpr int kMaxAttenuationStep = 30;

// The smallest step whose byte is >= level (9 or less -> 1, 255 -> 30).
int AttenuationStepFromByte(uint8_t level);
// The level byte of a step; nullopt for a step outside 1 to 30.
std::optional<uint8_t> AttenuationByteFromStep(int step);
// Steps are shown as decibels relative to step 30 ("%ddB" of step - 30).
inline int AttenuationStepDecibels(int step) {
    return step - kMaxAttenuationStep;
}

// The table byte a character is written as, or nullopt when the table does not hold it.
std::optional<uint8_t> TableByteOf(char32_t c);

// Appends the table-coded text and its 0 byte. Refuses (writes nothing, returns the reason) a
// text of more than maxChars characters; returns an empty string on success. Characters the table
// does not hold are dropped silently, as the modules expect.
[[nodiscard]] std::string EncodeTableText(std::u32string_view text, size_t maxChars,
                                          platform::ByteWriter& out);

// Appends the plain text and its 0 byte. Refuses a text longer than maxChars and a character
// whose low 8 bits are 0 (it would end the text early on the module and shift every field after
// it); returns an empty string on success.
[[nodiscard]] std::string EncodePlainText(std::u32string_view text, size_t maxChars,
                                          platform::ByteWriter& out);

// Why a text cannot be written plain, or an empty string when it can.
std::string CheckPlainText(std::u32string_view text, size_t maxChars);

// Read a text up to and past its 0 byte. A text that runs to the end of the data without a 0
// byte ends there (the reader is then at its end; its error flag is not raised).
std::u32string DecodeTableText(platform::ByteReader& in);
std::u32string DecodePlainText(platform::ByteReader& in);

// UTF-8 bridges for the tools and the page. FromUtf8 refuses malformed UTF-8 with nullopt.
std::string ToUtf8(std::u32string_view text);
std::optional<std::u32string> FromUtf8(std::string_view text);

} // namespace kaptiv::settings
