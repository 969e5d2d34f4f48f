// Message panel: one message line and the progress bar under it.
#include "resources/Dialogs.h"

namespace kaptiv::resources {

using namespace ui;

namespace {
const ControlTemplate kControls[] = {
    {1024, ControlKind::Edit, {2, 2, 282, 18}, "", style::ReadOnly | style::NoCaret, {}},
    {1001, ControlKind::ProgressBar, {2, 24, 282, 8}, "", style::Hidden, {}},
};
} // namespace

const DialogTemplate kInfoTemplate{kDialogInfo, DialogKind::Child, {286, 35}, "", kControls, false};

} // namespace kaptiv::resources
