// Status panel: the two link lamps and the notice naming the module that did not answer.
#include "resources/Dialogs.h"

namespace kaptiv::resources {

using namespace ui;

namespace {
const ControlTemplate kControls[] = {
    {1205, ControlKind::Picture, {18, 9, 5, 5}, "", 0, Bitmap(256)},
    {1206, ControlKind::Picture, {24, 9, 5, 5}, "", 0, Bitmap(256)},
    {1207, ControlKind::StaticText, {1, 0, 28, 8}, "", style::AlignRight, {}},
};
} // namespace

const DialogTemplate kStatusTemplate{kDialogStatus, DialogKind::Child, {32, 15}, "", kControls, false};

} // namespace kaptiv::resources
