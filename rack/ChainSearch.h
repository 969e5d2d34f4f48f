#pragma once
// The chain of a selected module: its input module, the common-interface modules after it
// and the output module after them, found in the module column in slot order.
#include "rack/RackImage.h"

#include <cstdint>

namespace kaptiv::rack {

inline constexpr int kNoModule = 255;  // selection: nothing selected
inline constexpr int kNoOutput = 13;   // chain output: none (one past the last row)
inline constexpr int kColumnRows = 13; // rows of the module column

struct Chain {
    int input = kNoModule;  // kNoModule: no input found
    int output = kNoOutput; // kNoOutput: no output found
    int ciCount = 0;        // common-interface modules between them

    bool HasInput() const { return input != kNoModule; }
    bool operator==(const Chain&) const = default;
};

// The chain of row `row` (an input or output module). Only rows holding a module of the
// current scan are looked at, and never more than the column shows.
Chain FindChain(const RackImage& image, int row);

// Index of the normal icon of a module type in the column's image list; the highlighted
// icon is the next one. Codes of 15 or more get the empty row's image.
int ModuleImage(uint8_t type);
inline constexpr int kEmptyRowImage = 20;

} // namespace kaptiv::rack
