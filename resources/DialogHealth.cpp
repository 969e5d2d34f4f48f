// Health view: a tile per module in rack order (4 x 4, the controller first), the line of the
// last round, the alarm log and its buttons; and the large plot a tile's small plot opens.
// Texts are filled in the program's language when the view opens.
#include "resources/Dialogs.h"

#include <vector>

namespace kaptiv::resources {

using namespace ui;
using namespace health;

namespace {

constexpr int kTileWidth = 121;
constexpr int kTileHeight = 60;
constexpr int kPitchX = 123;
constexpr int kPitchY = kTilePitchY;
constexpr int kGridX = 4;
constexpr int kGridY = kGridTop;

std::vector<ControlTemplate> BuildControls() {
    std::vector<ControlTemplate> c;
    auto add = [&c](int id, ControlKind kind, RectDu rect, uint32_t st = 0) {
        c.push_back({id, kind, rect, "", st, {}});
    };
    // Every part of a tile reports clicks: a click anywhere on a tile opens its module.
    constexpr uint32_t kClick = style::Notify;
    for (int t = 0; t < kTiles; ++t) {
        const int x = kGridX + (t % kTileColumns) * kPitchX;
        const int y = kGridY + (t / kTileColumns) * kPitchY;
        add(TileControl(t, kTileFrame), ControlKind::StaticText, {x, y, kTileWidth, kTileHeight},
            kClick | style::Border);
        add(TileControl(t, kTileStrip), ControlKind::StaticText, {x + 1, y + 1, 3, kTileHeight - 2}, kClick);
        add(TileControl(t, kTileTitle), ControlKind::StaticText, {x + 6, y + 2, kTileWidth - 9, 9}, kClick);
        for (int line = 0; line < kTileLines; ++line)
            add(TileControl(t, kTileLine + line), ControlKind::StaticText,
                {x + 6, y + 12 + line * 8, kTileWidth - 9, 8}, kClick);
        add(TileControl(t, kTilePlot), ControlKind::Plot, {x + 6, y + 37, kTileWidth - 9, 21}, kClick);
    }
    const int below = kGridY + (kTiles / kTileColumns) * kPitchY;
    add(kRoundLine, ControlKind::StaticText, {4, below, 492, 9});
    add(kLogHeading, ControlKind::StaticText, {4, below + 11, 200, 9});
    add(kLog, ControlKind::ListView, {4, below + 21, 492, 64}, style::Border);
    add(kSaveCsv, ControlKind::Button, {4, below + 89, 80, 14});
    add(kClose, ControlKind::Button, {446, below + 89, 50, 14});
    return c;
}

const ControlTemplate kPlotControls[] = {
    {kLargePlot, ControlKind::Plot, {6, 6, 408, 212}, "", style::Border, {}},
    {kLargePlotClose, ControlKind::Button, {364, 224, 50, 14}, "", 0, {}},
};

} // namespace

const DialogTemplate& HealthTemplate() {
    static const std::vector<ControlTemplate> controls = BuildControls();
    static const DialogTemplate tmpl{
        kDialogHealth,
        DialogKind::Popup,
        {kViewWidth, kGridTop + (kTiles / kTileColumns) * kTilePitchY + kBelowGridHeight},
        "",
        controls,
        true};
    return tmpl;
}

const DialogTemplate kHealthPlotTemplate{
    kDialogHealthPlot, DialogKind::Popup, {420, 244}, "", kPlotControls, true};

} // namespace kaptiv::resources
