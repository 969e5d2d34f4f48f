#include "platform/HexText.h"

#include <cstdio>

namespace kaptiv::platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

HexTextResult Refused(int line, const std::string& what) {
    HexTextResult result;
    result.line = line;
    result.error = "line " + std::to_string(line) + ": " + what;
    return result;
}

std::string Shown(char c) {
    const auto byte = static_cast<unsigned char>(c);
    char text[16];
    if (byte >= 0x20 && byte < 0x7F)
        std::snprintf(text, sizeof text, "'%c'", c);
    else
        std::snprintf(text, sizeof text, "byte 0x%02X", byte);
    return text;
}

} // namespace

HexTextResult ParseHexText(std::string_view text) {
    HexTextResult result;
    int line = 1;
    int high = -1;
    int highLine = 0;
    bool comment = false;
    for (char c : text) {
        if (c == '\n') {
            comment = false;
            if (high >= 0)
                return Refused(line, "a hex byte needs two digits");
            ++line;
            continue;
        }
        if (comment)
            continue;
        if (c == '#') {
            comment = true;
            if (high >= 0)
                return Refused(line, "a hex byte needs two digits");
            continue;
        }
        if (IsBlank(c)) {
            if (high >= 0)
                return Refused(line, "a hex byte needs two digits");
            continue;
        }
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return Refused(line, Shown(c) + " is not hex text (only hex digits, white space and # comments)");
        if (high < 0) {
            high = digit;
            highLine = line;
        } else {
            result.bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0)
        return Refused(highLine, "odd number of hex digits");
    return result;
}

HexTextResult ParseHexPairs(std::string_view text, std::string_view separators, size_t maxBytes) {
    HexTextResult result;
    const auto refuse = [&result](std::string error) {
        result.bytes.clear();
        result.error = std::move(error);
        result.line = 1;
        return result;
    };
    int high = -1;
    for (char c : text) {
        if (separators.find(c) != std::string_view::npos) {
            if (high >= 0)
                return refuse("a hex byte needs two digits");
            continue;
        }
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return refuse(Shown(c) + " is not a hex digit");
        if (high < 0) {
            high = digit;
            continue;
        }
        if (result.bytes.size() == maxBytes)
            return refuse("more than " + std::to_string(maxBytes) + " bytes");
        result.bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
        high = -1;
    }
    if (high >= 0)
        return refuse("a hex byte needs two digits");
    return result;
}

} // namespace kaptiv::platform
