#pragma once
// Our own SVG bitmaps and icons, compiled into the program (the display server serves them
// from here; nothing is read from disk at run time). Keyed like resources: bitmap or icon,
// and the resource id.
#include "ui/Types.h"

#include <span>
#include <string_view>

namespace kaptiv::resources {

struct EmbeddedImage {
    ui::ImageKind kind = ui::ImageKind::None;
    int id = 0;
    std::string_view name; // the source file's name, e.g. "bitmap-256-lamp-off.svg"
    std::string_view svg;
};

std::span<const EmbeddedImage> Images();
// Null when no such image exists.
const EmbeddedImage* FindImage(ui::ImageRef ref);

// Image list of the main window's module column (48 x 48, normal then highlighted, the
// last one the empty row), in image-index order.
inline constexpr int kModuleBitmaps[] = {150, 162, 153, 164, 143, 163, 154, 165, 209, 208, 216,
                                         218, 227, 228, 243, 242, 259, 260, 266, 265, 155};

} // namespace kaptiv::resources
