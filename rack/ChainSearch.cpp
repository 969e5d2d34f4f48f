#include "rack/ChainSearch.h"

#include <algorithm>

namespace kaptiv::rack {

namespace {
int RowsInUse(const RackImage& image) {
    return std::min<int>(image.moduleCount, kColumnRows);
}
} // namespace

Chain FindChain(const RackImage& image, int row) {
    Chain chain;
    const int rows = RowsInUse(image);
    if (row < 0 || row >= rows)
        return chain;
    switch (RoleOf(image.Live(row).type)) {
    case ModuleRole::Input:
        chain.input = row;
        for (int r = row + 1; r < rows; ++r) {
            const ModuleRole role = RoleOf(image.Live(r).type);
            if (role == ModuleRole::CommonInterface) {
                ++chain.ciCount;
                continue;
            }
            if (role == ModuleRole::Output)
                chain.output = r;
            break;
        }
        break;
    case ModuleRole::Output:
        chain.output = row;
        // Walking back: outputs are passed, common-interface modules passed and counted;
        // the controller (row 0) or an unknown type ends the walk without an input.
        for (int r = row - 1; r > 0; --r) {
            const ModuleRole role = RoleOf(image.Live(r).type);
            if (role == ModuleRole::CommonInterface) {
                ++chain.ciCount;
            } else if (role == ModuleRole::Input) {
                chain.input = r;
                break;
            } else if (role != ModuleRole::Output) {
                break;
            }
        }
        if (!chain.HasInput())
            chain.ciCount = 0;
        break;
    default:
        break;
    }
    return chain;
}

int ModuleImage(uint8_t type) {
    // Normal icons by type code; pairs of (normal, highlighted) in the image list.
    constexpr int kImages[type::kCount] = {0, 2, 4, 6, 2, 4, 4, 2, 8, 10, 12, 8, 14, 16, 18};
    return type < type::kCount ? kImages[type] : kEmptyRowImage;
}

} // namespace kaptiv::rack
