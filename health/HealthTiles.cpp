#include "health/HealthTiles.h"

#include "text/ToolText.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace kaptiv::health {

namespace {
using text::ToolText;

std::string Tr(ToolText id, int language) {
    return text::LocalizedToolText(id, language);
}

std::string Number(double value, int decimals) {
    char out[32];
    std::snprintf(out, sizeof out, "%.*f", decimals, value);
    return out;
}

std::string Mbits(uint64_t bps) {
    return Number(static_cast<double>(bps) / 1e6, 1);
}

// The lines of a tile: one per tuner input, then the rest two to a line; what does not fit
// goes on the last line.
std::array<std::string, kTileLines> Pack(const std::vector<std::string>& own,
                                         const std::vector<std::string>& rest) {
    std::array<std::string, kTileLines> lines;
    size_t used = 0;
    auto append = [&](const std::string& part) { lines[used - 1] += " \u00B7 " + part; };
    for (const std::string& part : own) {
        if (used < kTileLines)
            lines[used++] = part;
        else
            append(part);
    }
    int onLine = 0; // parts of `rest` on the current line (0: it is an input's)
    for (const std::string& part : rest) {
        if (used < kTileLines && (onLine == 0 || onLine == 2)) {
            lines[used++] = part;
            onLine = 1;
        } else {
            append(part);
            ++onLine;
        }
    }
    return lines;
}

// Plot colours, one per series in order.
constexpr ui::Color kSeriesColors[] = {{0x1f, 0x6f, 0xc5}, {0xd0, 0x47, 0x3a}, {0x2f, 0xa8, 0x6a},
                                       {0x8e, 0x44, 0xad}, {0xe0, 0x8a, 0x10}, {0x44, 0x4c, 0x56}};

} // namespace

TileText DescribeTile(int slot, const std::string& name, const std::string& release,
                      const monitor::ModuleMeasures* m, int language) {
    TileText tile;
    tile.title = std::to_string(slot) + " \u00B7 " + name;
    if (!release.empty())
        tile.title += " " + release;
    if (m == nullptr) {
        tile.lines[0] = Tr(ToolText::HealthWaiting, language);
        return tile;
    }
    if (m->asked && !m->up) {
        tile.lines[0] = Tr(ToolText::HealthNotAnswering, language);
        return tile;
    }
    if (!m->up) {
        tile.lines[0] = Tr(ToolText::HealthWaiting, language);
        return tile;
    }
    std::vector<std::string> own;
    std::vector<std::string> rest;
    for (const monitor::TunerInputMeasure& input : m->inputs) {
        const std::string lock = Tr(input.Locked()    ? ToolText::HealthLocked
                                    : input.lock == 1 ? ToolText::HealthCarrierOnly
                                                      : ToolText::HealthNoLockShort,
                                    language);
        if (input.Locked())
            own.push_back(text::FormatToolText(
                ToolText::HealthInputLine, language,
                {input.name, lock, std::to_string(input.level), std::to_string(input.quality)}));
        else
            own.push_back(text::FormatToolText(ToolText::HealthInputLineNoQuality, language,
                                               {input.name, lock, std::to_string(input.level)}));
    }
    if (m->outputRunning)
        rest.push_back(
            Tr(*m->outputRunning ? ToolText::HealthOutputOn : ToolText::HealthOutputOff, language));
    if (m->temperatureCelsius)
        rest.push_back(std::to_string(*m->temperatureCelsius) + " \u00B0C");
    // Used / capacity per channel; the unit once, after the last, so that two fit on a line.
    for (const monitor::ChannelRateMeasure& ch : m->channels)
        rest.push_back("ch" + std::to_string(ch.channel) + " " + Mbits(ch.usedBps) + "/" +
                       Mbits(ch.capacityBps));
    if (!m->channels.empty())
        rest.back() += " Mbit/s";
    if (m->streamerRateBps)
        rest.push_back(Mbits(*m->streamerRateBps) + " Mbit/s");
    if (m->camState)
        rest.push_back(Tr(*m->camState == 2   ? ToolText::HealthCamReady
                          : *m->camState == 1 ? ToolText::HealthCamStarting
                                              : ToolText::HealthNoCam,
                          language));
    if (m->usbKeyPresent)
        rest.push_back(Tr(*m->usbKeyPresent ? ToolText::HealthUsbKey : ToolText::HealthNoUsbKey, language));
    if (m->supplyGood)
        rest.push_back(Tr(*m->supplyGood ? ToolText::HealthSupplyOk : ToolText::HealthSupplyBad, language));
    if (m->fanRunning)
        rest.push_back(Tr(*m->fanRunning ? ToolText::HealthFanOk : ToolText::HealthFanBad, language));
    // An encoder reports nothing to watch but its answer.
    if (own.empty() && rest.empty())
        rest.push_back(Tr(ToolText::HealthAnswering, language));
    tile.lines = Pack(own, rest);
    return tile;
}

ui::Color StripColor(std::optional<monitor::AlarmSeverity> worst) {
    if (!worst)
        return {0x9a, 0xa0, 0xa6};
    switch (*worst) {
    case monitor::AlarmSeverity::Critical:
        return {0xd0, 0x47, 0x3a};
    case monitor::AlarmSeverity::Warning:
        return {0xe0, 0xa0, 0x20};
    case monitor::AlarmSeverity::None:
        break;
    }
    return {0x2f, 0xa8, 0x6a};
}

ui::Color TintColor(std::optional<monitor::AlarmSeverity> worst) {
    if (!worst)
        return {0xf2, 0xf3, 0xf4};
    switch (*worst) {
    case monitor::AlarmSeverity::Critical:
        return {0xfb, 0xe3, 0xe0};
    case monitor::AlarmSeverity::Warning:
        return {0xfd, 0xf1, 0xd6};
    case monitor::AlarmSeverity::None:
        break;
    }
    return {0xea, 0xf6, 0xef};
}

PlotKind PlotKindOf(const monitor::ModuleMeasures& m) {
    if (!m.inputs.empty())
        return PlotKind::Levels;
    if (!m.channels.empty())
        return PlotKind::ChannelRates;
    if (m.streamerRateBps)
        return PlotKind::StreamRate;
    if (m.temperatureCelsius)
        return PlotKind::Temperature;
    if (m.camState)
        return PlotKind::Cam;
    return PlotKind::None;
}

std::string PlotTitle(PlotKind kind, int language) {
    switch (kind) {
    case PlotKind::Levels:
        return Tr(ToolText::HealthPlotLevels, language);
    case PlotKind::ChannelRates:
        return Tr(ToolText::HealthPlotRates, language);
    case PlotKind::StreamRate:
        return Tr(ToolText::HealthPlotRate, language);
    case PlotKind::Temperature:
        return Tr(ToolText::HealthPlotTemperature, language);
    case PlotKind::Cam:
        return Tr(ToolText::HealthPlotCam, language);
    case PlotKind::None:
        break;
    }
    return {};
}

ui::PlotData BuildPlot(const monitor::RackHistory& history, uint8_t address, PlotKind kind, bool large,
                       int64_t nowMs, double epochNow, int language) {
    ui::PlotData plot;
    plot.axes = large;
    // The series of this module that the kind plots, with their labels.
    std::vector<std::pair<const monitor::MeasureSeries*, std::string>> chosen;
    for (const monitor::MeasureSeries& s : history.Series()) {
        if (s.address != address)
            continue;
        const size_t dot = s.key.find('.');
        const std::string head = dot == std::string::npos ? s.key : s.key.substr(0, dot);
        const std::string tail = dot == std::string::npos ? std::string() : s.key.substr(dot + 1);
        switch (kind) {
        case PlotKind::Levels:
            if (tail == "level")
                chosen.emplace_back(&s, text::FormatToolText(ToolText::HealthLevelSeries, language, {head}));
            else if (tail == "quality" && large)
                chosen.emplace_back(&s,
                                    text::FormatToolText(ToolText::HealthQualitySeries, language, {head}));
            break;
        case PlotKind::ChannelRates:
            if (tail == "rate" && head.starts_with("ch"))
                chosen.emplace_back(
                    &s, text::FormatToolText(ToolText::HealthChannelSeries, language, {head.substr(2)}));
            break;
        case PlotKind::StreamRate:
            if (s.key == "rate")
                chosen.emplace_back(&s, PlotTitle(kind, language));
            break;
        case PlotKind::Temperature:
            if (s.key == "temperature")
                chosen.emplace_back(&s, PlotTitle(kind, language));
            break;
        case PlotKind::Cam:
            if (s.key == "cam")
                chosen.emplace_back(&s, "CAM");
            break;
        case PlotKind::None:
            break;
        }
    }
    if (chosen.empty())
        return plot;
    // Every series of a history has a sample at the same times: the first gives the x-axis.
    const std::vector<monitor::HistorySample> first = chosen.front().first->ring.Samples();
    for (const monitor::HistorySample& sample : first)
        plot.times.push_back(epochNow - static_cast<double>(nowMs - sample.timeMs) / 1000.0);
    size_t color = 0;
    for (const auto& [series, label] : chosen) {
        ui::PlotSeries out;
        out.label = label;
        out.unit = series->unit;
        out.color = kSeriesColors[color++ % std::size(kSeriesColors)];
        const std::vector<monitor::HistorySample> samples = series->ring.Samples();
        // A series that started later is shorter: aligned on the newest sample.
        const size_t offset = first.size() > samples.size() ? first.size() - samples.size() : 0;
        out.values.assign(first.size(), std::nullopt);
        for (size_t i = 0; i < samples.size() && offset + i < first.size(); ++i)
            out.values[offset + i] = samples[i].value;
        plot.series.push_back(std::move(out));
    }
    if (kind == PlotKind::Levels) {
        plot.yMin = 0;
        plot.yMax = 100;
    } else if (kind == PlotKind::Cam) {
        plot.yMin = 0;
        plot.yMax = 2;
    } else if (kind == PlotKind::ChannelRates || kind == PlotKind::StreamRate) {
        plot.yMin = 0;
    }
    return plot;
}

std::string FormatTimeOfDay(const std::tm& when) {
    char out[64];
    std::snprintf(out, sizeof out, "%02d:%02d:%02d", when.tm_hour, when.tm_min, when.tm_sec);
    return out;
}

} // namespace kaptiv::health
