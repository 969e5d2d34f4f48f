#pragma once
// Numbers typed into list cells, read as the C "%d" conversion reads them: leading blanks, an
// optional sign, digits; text that does not start with a number reads as 0. A number the field
// cannot hold is refused instead of being cut to its low bits.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kaptiv::editor {

// "%d" into 0..maxValue; nothing when the number lies outside.
std::optional<int> ScanNumber(std::string_view text, int maxValue);

// "%d.%d.%d.%d": the numbers read before the first mismatch fill the address from the left, the
// others are 0 ("10.1.2" -> 10.1.2.0, "x" -> 0.0.0.0). Nothing when a number exceeds 255 or is
// negative.
std::optional<std::array<uint8_t, 4>> ScanDottedAddress(std::string_view text);

} // namespace kaptiv::editor
