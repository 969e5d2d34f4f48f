#include "tools/TerminalText.h"

#include <cstdint>

namespace kaptiv::tools {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendByteEscape(std::string& out, uint8_t byte) {
    out += "\\x";
    out.push_back(kHexDigits[byte >> 4]);
    out.push_back(kHexDigits[byte & 0x0F]);
}

// The length of the valid UTF-8 sequence at text[at] (2 to 4), and its code point; 0 when
// the bytes there are not one.
size_t Utf8Sequence(std::string_view text, size_t at, uint32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (byte(at + i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<uint8_t>(text[at]);
        if (byte < 0x80) {
            // A carriage return before a newline is a CR-LF line end, harmless on a terminal.
            const bool lineEnd =
                byte == '\n' || (byte == '\r' && at + 1 < text.size() && text[at + 1] == '\n');
            if ((byte < 0x20 && !lineEnd && byte != '\t') || byte == 0x7F)
                AppendByteEscape(out, byte);
            else
                out.push_back(static_cast<char>(byte));
            ++at;
            continue;
        }
        uint32_t codePoint = 0;
        const size_t length = Utf8Sequence(text, at, codePoint);
        if (length == 0) {
            AppendByteEscape(out, byte);
            ++at;
        } else if (codePoint >= 0x80 && codePoint <= 0x9F) {
            out += "\\u00";
            out.push_back(kHexDigits[codePoint >> 4]);
            out.push_back(kHexDigits[codePoint & 0x0F]);
            at += length;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out;
}

bool PrintEscaped(std::FILE* out, std::string_view text) {
    const std::string escaped = EscapeControls(text);
    return std::fwrite(escaped.data(), 1, escaped.size(), out) == escaped.size();
}

} // namespace kaptiv::tools
