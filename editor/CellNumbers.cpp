#include "editor/CellNumbers.h"

#include <cctype>

namespace kaptiv::editor {

namespace {

constexpr long long kTooLarge = 1LL << 40; // stops the accumulation long before it overflows

// One "%d" conversion at `pos`; nothing when no number starts there. Advances `pos` past it.
std::optional<long long> ScanOne(std::string_view text, size_t& pos) {
    size_t at = pos;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        negative = text[at++] == '-';
    const size_t digits = at;
    long long value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        if (value < kTooLarge)
            value = value * 10 + (text[at] - '0');
        ++at;
    }
    if (at == digits)
        return std::nullopt;
    pos = at;
    return negative ? -value : value;
}

} // namespace

std::optional<int> ScanNumber(std::string_view text, int maxValue) {
    size_t pos = 0;
    const long long value = ScanOne(text, pos).value_or(0);
    if (value < 0 || value > maxValue)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<std::array<uint8_t, 4>> ScanDottedAddress(std::string_view text) {
    std::array<uint8_t, 4> address{};
    size_t pos = 0;
    for (size_t i = 0; i < address.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.')
                break;
            ++pos;
        }
        const auto value = ScanOne(text, pos);
        if (!value)
            break;
        if (*value < 0 || *value > 255)
            return std::nullopt;
        address[i] = static_cast<uint8_t>(*value);
    }
    return address;
}

} // namespace kaptiv::editor
