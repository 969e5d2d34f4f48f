// Common-interface menu: the CAM's texts one per line, the module picture, the CAM status
// light and the answer field, which lies over the top of the list while an enquiry is open.
#include "resources/Dialogs.h"

namespace kaptiv::resources {

using namespace ui;

namespace {
// The module picture has no id of its own (a plain static); -1 keeps it apart from the rest.
const ControlTemplate kControls[] = {
    {1020, ControlKind::ListBox, {42, 6, 368, 210}, "", style::Notify | style::Border, {}},
    {-1, ControlKind::Picture, {5, 5, 32, 30}, "", 0, Bitmap(165)},
    {1028, ControlKind::Picture, {6, 36, 28, 9}, "", 0, Bitmap(187)},
    {1035, ControlKind::Edit, {48, 42, 354, 18}, "", style::Hidden | style::Border, {}},
};
} // namespace

const DialogTemplate kOpenCamTemplate{kDialogOpenCam, DialogKind::Child, {418, 224}, "", kControls, false};

} // namespace kaptiv::resources
