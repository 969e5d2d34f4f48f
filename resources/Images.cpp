#include "resources/Images.h"

namespace kaptiv::resources {

const EmbeddedImage* FindImage(ui::ImageRef ref) {
    for (const EmbeddedImage& image : Images())
        if (image.kind == ref.kind && image.id == ref.id)
            return &image;
    return nullptr;
}

} // namespace kaptiv::resources
