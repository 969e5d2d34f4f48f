// Main window: the module column, the command buttons beside it and the decoration of the
// right-hand area, which the panels of the selected module cover.
#include "resources/Dialogs.h"

namespace kaptiv::resources {

using namespace ui;

namespace {
const ControlTemplate kControls[] = {
    {1021, ControlKind::ListView, {2, 2, 56, 312}, "", style::IconMode | style::Border, {}},
    {1023, ControlKind::Button, {62, 4, 24, 20}, "", 0, Icon(139)},
    {1025, ControlKind::Button, {62, 28, 24, 20}, "", style::Disabled, Icon(193)},
    {1024, ControlKind::Button, {62, 52, 24, 20}, "", style::Disabled, Icon(192)},
    {1030, ControlKind::Button, {62, 76, 24, 20}, "", style::Disabled, Icon(262)},
    {1027, ControlKind::Button, {62, 100, 24, 20}, "", style::Disabled, Icon(246)},
    {1028, ControlKind::Button, {62, 124, 24, 20}, "", style::Hidden, Icon(247)},
    {1029, ControlKind::Button, {62, 148, 24, 14}, "TEST", style::Hidden, {}},
    // The health view: below the column's other buttons, clear of the device-change icon.
    {1031, ControlKind::Button, {62, 186, 24, 20}, "", style::Disabled, Icon(272)},
    // The system menu's "about" entry (string resource 101), command 16.
    {16, ControlKind::Button, {420, 322, 80, 12}, "&\u00C0 propos de Quorvel...", 0, {}},
    {1204, ControlKind::Picture, {68, 168, 12, 12}, "", style::Hidden, Icon(264)},
    {1109, ControlKind::Picture, {60, 280, 28, 28}, "", 0, Bitmap(309)},
    {1101, ControlKind::Picture, {96, 6, 120, 24}, "", 0, Bitmap(301)},
    {1102, ControlKind::Picture, {96, 34, 404, 2}, "", 0, Bitmap(302)},
    {1103, ControlKind::Picture, {96, 290, 404, 2}, "", 0, Bitmap(302)},
    {1104, ControlKind::Picture, {150, 60, 300, 200}, "", 0, Bitmap(304)},
    {1105, ControlKind::Picture, {380, 6, 120, 24}, "", 0, Bitmap(305)},
    {1106, ControlKind::Picture, {150, 60, 300, 200}, "", 0, Bitmap(306)},
    {1107, ControlKind::Picture, {96, 40, 2, 246}, "", 0, Bitmap(307)},
    {1108, ControlKind::Picture, {498, 40, 2, 246}, "", 0, Bitmap(307)},
};
} // namespace

const DialogTemplate kMainTemplate{kDialogMain, DialogKind::Popup, {505, 338}, "KAPTIV", kControls, true};

} // namespace kaptiv::resources
