// Transfer window: message, progress, percentage, rate and time still needed. The sample
// texts size the fields for their widest value.
#include "resources/Dialogs.h"

namespace kaptiv::resources {

using namespace ui;

namespace {
const ControlTemplate kControls[] = {
    {1201, ControlKind::StaticText, {7, 6, 294, 10}, "", 0, {}},
    {1202, ControlKind::ProgressBar, {7, 20, 294, 10}, "", 0, {}},
    {1203, ControlKind::StaticText, {7, 36, 60, 10}, "99.99%", 0, {}},
    {1204, ControlKind::StaticText, {112, 36, 84, 10}, "99999.99 kB/s", style::AlignCenter, {}},
    {1205, ControlKind::StaticText, {241, 36, 60, 10}, "999:55.33", style::AlignRight, {}},
};
} // namespace

const DialogTemplate kDetachInfoTemplate{kDialogDetachInfo, DialogKind::Popup, {308, 63},
                                         "Transfer",        kControls,         true};

} // namespace kaptiv::resources
