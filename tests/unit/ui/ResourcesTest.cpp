#include "resources/Dialogs.h"
#include "resources/Images.h"

#include <gtest/gtest.h>
#include <set>

using namespace kaptiv;
using namespace kaptiv::ui;

namespace {

TEST(Resources, EveryImageATemplateNamesIsEmbedded) {
    for (int id : {resources::kDialogMain, resources::kDialogInfo, resources::kDialogDetachInfo,
                   resources::kDialogStatus}) {
        const DialogTemplate& tmpl = resources::DialogTemplateById(id);
        std::set<int> ids;
        for (const ControlTemplate& control : tmpl.controls) {
            EXPECT_TRUE(ids.insert(control.id).second)
                << "dialog " << id << " repeats control " << control.id;
            if (control.image) {
                EXPECT_NE(resources::FindImage(control.image), nullptr)
                    << "dialog " << id << " control " << control.id << " image " << control.image.id;
            }
            EXPECT_LE(control.rect.x + control.rect.width, tmpl.size.width) << "control " << control.id;
            EXPECT_LE(control.rect.y + control.rect.height, tmpl.size.height) << "control " << control.id;
        }
    }
    EXPECT_EQ(resources::FindDialogTemplate(4711), nullptr);
}

TEST(Resources, LampsModuleIconsAndButtonsAreSvg) {
    std::vector<ImageRef> wanted{Bitmap(255), Bitmap(256), Bitmap(257), Icon(139), Icon(193),
                                 Icon(192),   Icon(262),   Icon(246),   Icon(247)};
    for (int id : resources::kModuleBitmaps)
        wanted.push_back(Bitmap(id));
    for (ImageRef ref : wanted) {
        const resources::EmbeddedImage* image = resources::FindImage(ref);
        ASSERT_NE(image, nullptr) << ref.id;
        EXPECT_TRUE(image->svg.starts_with("<svg ")) << image->name;
        EXPECT_TRUE(image->svg.find("</svg>") != std::string_view::npos) << image->name;
    }
    // Bitmaps and icons are separate numbering spaces.
    EXPECT_EQ(resources::FindImage(Icon(256)), nullptr);
}

} // namespace
