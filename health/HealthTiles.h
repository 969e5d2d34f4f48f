#pragma once
// What a tile of the health view says and what its plots draw, from the last round's measures
// and the history: pure functions, so that the view only places them.
#include "monitor/AlarmLog.h"
#include "monitor/History.h"
#include "monitor/Measures.h"
#include "ui/Controls.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kaptiv::health {

inline constexpr size_t kTileLines = 3;

struct TileText {
    std::string title; // "3 · RkSat2.0 2.3"
    std::array<std::string, kTileLines> lines;
};

// `module` may be null (no round yet); `name` and `release` come from the rack image.
TileText DescribeTile(int slot, const std::string& name, const std::string& release,
                      const monitor::ModuleMeasures* module, int language);

// The alarm colour of a tile (the strip) and its tint (the frame). No measures yet: grey.
ui::Color StripColor(std::optional<monitor::AlarmSeverity> worst);
ui::Color TintColor(std::optional<monitor::AlarmSeverity> worst);

// Which measures a tile plots: the inputs' levels (and, large, their qualities), the rates of a
// modulator's channels, an IP streamer's rate, the temperature, the CAM state.
enum class PlotKind { None, Levels, ChannelRates, StreamRate, Temperature, Cam };
PlotKind PlotKindOf(const monitor::ModuleMeasures& module);
std::string PlotTitle(PlotKind kind, int language);

// The history of one module (by bus address) as a plot. Times become seconds since the epoch:
// `epochNow` is the wall time at the clock's `nowMs`.
ui::PlotData BuildPlot(const monitor::RackHistory& history, uint8_t address, PlotKind kind, bool large,
                       int64_t nowMs, double epochNow, int language);

// "17:30:12".
std::string FormatTimeOfDay(const std::tm& when);

} // namespace kaptiv::health
