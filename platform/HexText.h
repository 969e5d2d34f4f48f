#pragma once
// Hex text as people write parameter blocks by hand: pairs of hex digits, white space
// anywhere between pairs, '#' to the end of a line a comment. Anything else is refused with
// the line it stands on, so that a wrong file is never taken for a block.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::platform {

struct HexTextResult {
    std::vector<uint8_t> bytes;
    std::string error; // empty when the whole text was read; otherwise names the line
    int line = 0;      // line of the fault, counted from 1
    bool Ok() const { return error.empty(); }
};

HexTextResult ParseHexText(std::string_view text);

// Hex bytes as they stand in one field (a JSON string, a trace column): pairs of hex digits with
// any of `separators` allowed between pairs, never inside one. The error, when there is one,
// says what is wrong without a line number: "a hex byte needs two digits" or "'x' is not a hex
// digit". At most `maxBytes` bytes are taken; a longer text is refused.
HexTextResult ParseHexPairs(std::string_view text, std::string_view separators, size_t maxBytes = SIZE_MAX);

// 0 to 15 for '0'..'9', 'A'..'F', 'a'..'f'; -1 for anything else.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace kaptiv::platform
