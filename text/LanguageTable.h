#pragma once
// Raw rows of the two language tables (data only; lookups live in Language.cpp).
#include "text/Language.h"

#include <array>

namespace kaptiv::text {

// One row: the same text in English, French, Italian, German and Spanish, UTF-8.
using TextRow = std::array<const char*, kLanguageCount>;

extern const std::array<TextRow, kLocalizedTextCount> kLocalizedTextTable;
extern const std::array<TextRow, kHeadingRowCount> kHeadingTable;

} // namespace kaptiv::text
