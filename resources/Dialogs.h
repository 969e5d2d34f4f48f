#pragma once
// The dialog templates of the program's windows, by resource id. Layout only: the classes
// that give them behaviour live with their subsystem.
#include "ui/DialogTemplate.h"

namespace kaptiv::resources {

inline constexpr int kDialogMain = 102;
inline constexpr int kDialogInfo = 160;
inline constexpr int kDialogOpenCam = 161;
inline constexpr int kDialogDetachInfo = 241;
inline constexpr int kDialogStatus = 254;
inline constexpr int kDialogSettingsPage = 145;
inline constexpr int kDialogConfigValidate = 195;
inline constexpr int kDialogHealth = 300;
inline constexpr int kDialogHealthPlot = 301;

extern const ui::DialogTemplate kMainTemplate;
extern const ui::DialogTemplate kInfoTemplate;
extern const ui::DialogTemplate kOpenCamTemplate;
extern const ui::DialogTemplate kDetachInfoTemplate;
extern const ui::DialogTemplate kStatusTemplate;
// Built on first use (its controls are generated in loops).
const ui::DialogTemplate& SettingsTemplate();
extern const ui::DialogTemplate kConfigValidateTemplate;
// The health view: a tile per module (built on first use, in loops) and its large plot.
const ui::DialogTemplate& HealthTemplate();
extern const ui::DialogTemplate kHealthPlotTemplate;

// Control ids of the health view. Tile t (0..kHealthTiles-1) has kHealthTileBase + t *
// kHealthTileStride + one of the kHealthTile* offsets.
namespace health {
inline constexpr int kTiles = 16; // the controller and up to 14 modules, in a 4 x 4 grid
inline constexpr int kTileColumns = 4;
inline constexpr int kTileBase = 2000;
inline constexpr int kTileStride = 10;
inline constexpr int kTileFrame = 0; // the whole tile, tinted by the worst alarm
inline constexpr int kTileStrip = 1; // the alarm colour
inline constexpr int kTileTitle = 2; // slot, name and release
inline constexpr int kTileLine = 3;  // kTileLines lines of measures from here
inline constexpr int kTileLines = 3;
inline constexpr int kTilePlot = 6; // the small plot
inline constexpr int kTileParts = 7;
inline constexpr int kRoundLine = 3001;
inline constexpr int kLogHeading = 3002;
inline constexpr int kLog = 3003;
inline constexpr int kSaveCsv = 3004;
inline constexpr int kClose = 2; // Escape and the close box end the view too
// Layout (dialog units): the tiles' grid, then what lies below it.
inline constexpr int kGridTop = 4;
inline constexpr int kTilePitchY = 62;
inline constexpr int kBelowGridHeight = 107; // round line, log heading, log, buttons
inline constexpr int kViewWidth = 500;
inline constexpr int kLargePlot = 3101;
inline constexpr int kLargePlotClose = 2;
constexpr int TileControl(int tile, int part) {
    return kTileBase + tile * kTileStride + part;
}
} // namespace health

// Null for an id no template has.
const ui::DialogTemplate* FindDialogTemplate(int id);
// The template that must exist; a missing one stops the program with its id.
const ui::DialogTemplate& DialogTemplateById(int id);

} // namespace kaptiv::resources
