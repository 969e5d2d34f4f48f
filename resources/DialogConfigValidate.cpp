// Configuration check: the summary of a loaded configuration file, OK only when it fits.
#include "resources/Dialogs.h"

namespace kaptiv::resources {

using namespace ui;

namespace {
const ControlTemplate kControls[] = {
    {1024, ControlKind::Edit, {7, 7, 300, 196}, "", style::ReadOnly | style::MultiLine | style::Border, {}},
    {1, ControlKind::Button, {90, 210, 50, 14}, "OK", style::DefaultButton, {}},
    {2, ControlKind::Button, {174, 210, 50, 14}, "Annuler", 0, {}},
};
} // namespace

const DialogTemplate kConfigValidateTemplate{kDialogConfigValidate,   DialogKind::Popup, {314, 231},
                                             "Mulvane Configuration", kControls,         true};

} // namespace kaptiv::resources
