// Paths as the page carries them: see web/Protocol.h (EncodePathRef, DecodePathRef).
#include "web/Protocol.h"

namespace kaptiv::web {

namespace {
// Length of the valid UTF-8 sequence starting at bytes[i], or 0.
size_t Utf8SequenceAt(std::string_view bytes, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = b(i);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else
        return 0;
    if (i + length > bytes.size())
        return 0;
    if (b(i + 1) < low || b(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if (b(i + k) < 0x80 || b(i + k) > 0xBF)
            return 0;
    return length;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = Utf8SequenceAt(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string EncodePathRef(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    auto escape = [&](unsigned char c) {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
    };
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = Utf8SequenceAt(bytes, i);
        if (n == 0) {
            escape(static_cast<unsigned char>(bytes[i]));
            ++i;
        } else if (bytes[i] == '%') {
            escape('%');
            ++i;
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string DecodePathRef(std::string_view ref) {
    std::string out;
    out.reserve(ref.size());
    for (size_t i = 0; i < ref.size(); ++i) {
        if (ref[i] == '%' && i + 2 < ref.size() && HexDigit(ref[i + 1]) >= 0 && HexDigit(ref[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(ref[i + 1]) * 16 + HexDigit(ref[i + 2]));
            i += 2;
        } else {
            out += ref[i];
        }
    }
    return out;
}

} // namespace kaptiv::web
