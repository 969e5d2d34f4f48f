#include "health/CHealthView.h"

#include "health/HealthTiles.h"
#include "link/CXmit.h"
#include "platform/Clock.h"
#include "rack/RackImage.h"
#include "resources/Dialogs.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <filesystem>

namespace kaptiv::health {

namespace {
using text::ToolText;
namespace ids = resources::health;

std::string Tr(ToolText id) {
    return text::LocalizedToolText(id);
}

// The release as the module column shows it, on one line: "2.3(H2)".
std::string ReleaseOf(const rack::ModuleRecord& record) {
    std::string release = rack::ReleaseText(record);
    release.erase(
        std::remove_if(release.begin(), release.end(), [](char c) { return c == '\r' || c == '\n'; }),
        release.end());
    return release;
}

// The CSV header's columns in the current language: raised, cleared, slot, address, module,
// alarm, what happened.
std::vector<std::string> LogColumns() {
    std::vector<std::string> columns;
    const std::string header = Tr(ToolText::HealthCsvHeader);
    size_t start = 0;
    for (size_t comma; (comma = header.find(',', start)) != std::string::npos; start = comma + 1)
        columns.push_back(header.substr(start, comma - start));
    columns.push_back(header.substr(start));
    columns.resize(7);
    return columns;
}

// A typed name without an extension gets ".csv"; the question before replacing is asked for
// this name, the one really written.
std::string WithCsvExtension(const std::string& typed) {
    if (typed.empty() || std::filesystem::path(typed).has_extension())
        return typed;
    return typed + ".csv";
}

double EpochOf(std::tm wall) {
    wall.tm_isdst = -1;
    const std::time_t t = std::mktime(&wall);
    return t == static_cast<std::time_t>(-1) ? 0.0 : static_cast<double>(t);
}
} // namespace

CHealthPlot::CHealthPlot(ui::WindowSystem& windows) : ui::Dialog(windows, resources::kHealthPlotTemplate) {}

void CHealthPlot::OnInitDialog() {
    Item(ids::kLargePlotClose).SetText(Tr(ToolText::PageClose));
}

void CHealthPlot::OnClick(int controlId) {
    if (controlId == ids::kLargePlotClose)
        OnCancel();
}

CHealthView::CHealthView(ui::WindowSystem& windows, link::CXmit& xmit, monitor::HealthSchedule schedule)
    : ui::Dialog(windows, resources::HealthTemplate()), m_rounds(xmit, windows.GetClock(), schedule),
      m_plot(windows) {}

CHealthView::~CHealthView() = default;

void CHealthView::OnInitDialog() {
    SetTitle(Tr(ToolText::HealthTitle));
    Item(ids::kLogHeading).SetText(Tr(ToolText::HealthAlarmLog));
    Item(ids::kSaveCsv).SetText(Tr(ToolText::HealthSaveCsv));
    Item(ids::kClose).SetText(Tr(ToolText::PageClose));
    const std::vector<std::string> names = LogColumns();
    Item(ids::kLog).SetColumns(
        {{names[0], 130}, {names[1], 130}, {names[2], 72}, {names[4], 110}, {names[6], 288}});
    for (int t = 0; t < ids::kTiles; ++t) {
        Item(ids::TileControl(t, ids::kTileTitle)).SetFont(ui::Font{"Liberation Sans", 14, true});
        for (int part = 0; part < ids::kTileParts; ++part)
            Item(ids::TileControl(t, part)).Show(false);
    }
}

void CHealthView::OpenHealthView(const rack::RackImage& image, ui::Dialog& owner) {
    m_image = &image;
    if (!IsCreated())
        Create(&owner);
    m_watching = true;
    Show(true);
    BringToFront();
    Step();
    Refresh();
    Windows().Repaint();
}

void CHealthView::OnCancel() {
    // Closing stops the rounds; the history and the log stay for the next opening.
    m_watching = false;
    m_rounds.SetWatching(false);
    KillTimer(kTickTimer);
    if (m_plot.IsCreated())
        m_plot.Show(false);
    m_plotTile = -1;
    Show(false);
}

void CHealthView::OnTimer(int timerId) {
    if (timerId == kTickTimer)
        Step();
}

void CHealthView::FollowRack() {
    m_rackPresent = m_image != nullptr && m_image->moduleCount > 0;
    // Lost, or half-read by a scan under way: the history keeps a gap until the rack is back,
    // and only a whole rack tells whether it is another one.
    if (!m_rackPresent || m_busy[static_cast<size_t>(rack::RackWork::Scan)])
        return;
    std::vector<std::pair<uint8_t, uint8_t>> rack;
    for (size_t i = 0; i < m_image->moduleCount; ++i)
        rack.emplace_back(m_image->Live(i).address, m_image->Live(i).type);
    if (rack == m_rack)
        return;
    // Another rack (or this one with other modules): its past is not the one shown.
    if (!m_rack.empty()) {
        m_rounds.StartOver();
        m_lastRoundWall.reset();
        if (m_plot.IsCreated())
            m_plot.Show(false);
        m_plotTile = -1;
    }
    m_rack = std::move(rack);
}

void CHealthView::FollowWork() {
    const rack::RackWorkSet now = m_busyProbe ? m_busyProbe() : rack::RackWorkSet{};
    for (size_t i = 0; i < now.size(); ++i) {
        if (now[i] && !m_busy[i])
            m_rounds.Begin(static_cast<rack::RackWork>(i));
        else if (!now[i] && m_busy[i])
            m_rounds.End(static_cast<rack::RackWork>(i));
    }
    m_busy = now;
}

void CHealthView::Step() {
    const bool wasPaused = m_rounds.Paused();
    const bool hadRack = m_rackPresent;
    FollowWork();
    FollowRack();
    m_rounds.SetWatching(m_watching && m_rackPresent);
    bool changed = wasPaused != m_rounds.Paused() || hadRack != m_rackPresent;
    if (m_rounds.Tick()) {
        m_lastRoundWall = Windows().GetClock().LocalTime();
        m_notice.clear();
        changed = true;
    }
    if (changed && IsCreated()) {
        Refresh();
        Windows().Repaint();
    }
    ScheduleNextTick();
}

void CHealthView::ScheduleNextTick() {
    if (!m_watching) {
        KillTimer(kTickTimer);
        return;
    }
    int64_t delay = kIdleLookMs;
    if (m_rackPresent && !m_rounds.Paused()) {
        const int64_t until = m_rounds.NextTickAtMs() - Windows().GetClock().NowMs();
        delay = std::clamp<int64_t>(until, kStepMs, kIdleLookMs);
    }
    SetTimer(kTickTimer, delay);
}

const monitor::ModuleMeasures* CHealthView::MeasuresOfRow(int row) const {
    if (m_image == nullptr || row < 0 || row >= m_image->moduleCount)
        return nullptr;
    const uint8_t address = m_image->Live(static_cast<size_t>(row)).address;
    for (const monitor::ModuleMeasures& m : m_rounds.LastMeasures().modules)
        if (m.address == address)
            return &m;
    return nullptr;
}

std::pair<int64_t, double> CHealthView::PlotClock() const {
    platform::Clock& clock = Windows().GetClock();
    return {clock.NowMs(), EpochOf(clock.LocalTime())};
}

void CHealthView::Refresh() {
    RefreshTiles();
    RefreshLog();
    RefreshRoundLine();
    RefreshLargePlot();
}

void CHealthView::RefreshTiles() {
    const int language = text::LanguageIndex();
    const int count = m_image ? std::min<int>(m_image->moduleCount, ids::kTiles) : 0;
    const auto [nowMs, epoch] = PlotClock();
    PlaceBelowTiles((count + ids::kTileColumns - 1) / ids::kTileColumns);
    for (int t = 0; t < ids::kTiles; ++t) {
        const bool shown = t < count;
        for (int part = 0; part < ids::kTileParts; ++part)
            Item(ids::TileControl(t, part)).Show(shown);
        if (!shown)
            continue;
        const rack::ModuleRecord& record = m_image->Live(static_cast<size_t>(t));
        const monitor::ModuleMeasures* m = MeasuresOfRow(t);
        const TileText tile = DescribeTile(t, ModuleName(record.type), ReleaseOf(record), m, language);
        Item(ids::TileControl(t, ids::kTileTitle)).SetText(tile.title);
        for (size_t line = 0; line < kTileLines; ++line)
            Item(ids::TileControl(t, ids::kTileLine + static_cast<int>(line))).SetText(tile.lines[line]);
        std::optional<monitor::AlarmSeverity> worst;
        if (m != nullptr && m->asked)
            worst = m_rounds.Log().WorstActive(m->slot);
        Item(ids::TileControl(t, ids::kTileStrip)).SetBackColor(StripColor(worst));
        Item(ids::TileControl(t, ids::kTileFrame)).SetBackColor(TintColor(worst));
        ui::Control& plot = Item(ids::TileControl(t, ids::kTilePlot));
        const PlotKind kind = m != nullptr ? PlotKindOf(*m) : PlotKind::None;
        plot.SetPlot(BuildPlot(m_rounds.History(), record.address, kind, false, nowMs, epoch, language));
        plot.Show(kind != PlotKind::None);
    }
}

void CHealthView::PlaceBelowTiles(int rows) {
    const int below = ids::kGridTop + std::max(rows, 1) * ids::kTilePitchY;
    const auto move = [this](int id, int y) {
        ui::RectDu rect = Item(id).Rect();
        rect.y = y;
        Item(id).SetRect(rect);
    };
    move(ids::kRoundLine, below);
    move(ids::kLogHeading, below + 11);
    move(ids::kLog, below + 21);
    move(ids::kSaveCsv, below + 89);
    move(ids::kClose, below + 89);
    SetSize({ids::kViewWidth, below + ids::kBelowGridHeight});
}

void CHealthView::RefreshLog() {
    const int language = text::LanguageIndex();
    const monitor::AlarmLog& log = m_rounds.Log();
    std::vector<ui::ListRow> rows;
    for (auto it = log.Entries().rbegin(); it != log.Entries().rend(); ++it) {
        const monitor::AlarmLogEntry& e = *it;
        ui::ListRow row;
        row.cells = {{monitor::FormatAlarmTime(e.raised)},
                     {e.cleared ? monitor::FormatAlarmTime(*e.cleared) : Tr(ToolText::HealthActive)},
                     {std::to_string(e.alarm.slot)},
                     {ModuleName(e.moduleType)},
                     {monitor::DescribeAlarm(e.alarm, m_rounds.Schedule().thresholds, language)}};
        if (e.Active())
            row.textColor = StripColor(monitor::SeverityOf(e.alarm.kind));
        rows.push_back(std::move(row));
    }
    if (rows.empty())
        rows.push_back({{{""}, {""}, {""}, {""}, {Tr(ToolText::HealthNoAlarm)}}, std::nullopt, false});
    Item(ids::kLog).SetRows(std::move(rows));
    Item(ids::kSaveCsv).Enable(!log.Entries().empty());
}

void CHealthView::RefreshRoundLine() {
    std::string line;
    if (!m_notice.empty()) {
        line = m_notice;
    } else if (!m_rackPresent) {
        line = Tr(ToolText::HealthNoRack);
    } else if (m_rounds.Paused()) {
        line = Tr(ToolText::HealthPaused);
    } else if (!m_lastRoundWall) {
        line = Tr(ToolText::HealthWaiting);
    } else if (!m_rounds.LastMeasures().Complete()) {
        line = text::FormatToolText(ToolText::HealthRoundIncomplete, {FormatTimeOfDay(*m_lastRoundWall)});
    } else {
        const monitor::AlarmLog& log = m_rounds.Log();
        const auto active = std::count_if(log.Entries().begin(), log.Entries().end(),
                                          [](const monitor::AlarmLogEntry& e) { return e.Active(); });
        line = text::FormatToolText(ToolText::HealthLastRound,
                                    {FormatTimeOfDay(*m_lastRoundWall),
                                     std::to_string(m_rounds.LastMeasures().modules.size()),
                                     std::to_string(active)}) +
               "  " + Tr(ToolText::HealthPlotHint);
    }
    Item(ids::kRoundLine).SetText(line);
}

void CHealthView::OpenLargePlot(int tile) {
    if (m_image == nullptr || tile < 0 || tile >= m_image->moduleCount)
        return;
    m_plotTile = tile;
    if (!m_plot.IsCreated())
        m_plot.Create(this);
    m_plot.Show(true);
    RefreshLargePlot();
    m_plot.BringToFront();
}

void CHealthView::RefreshLargePlot() {
    if (m_plotTile < 0 || !m_plot.IsCreated() || !m_plot.IsVisible())
        return;
    if (m_image == nullptr || m_plotTile >= m_image->moduleCount) {
        m_plot.Show(false);
        m_plotTile = -1;
        return;
    }
    const int language = text::LanguageIndex();
    const rack::ModuleRecord& record = m_image->Live(static_cast<size_t>(m_plotTile));
    const monitor::ModuleMeasures* m = MeasuresOfRow(m_plotTile);
    const PlotKind kind = m != nullptr ? PlotKindOf(*m) : PlotKind::None;
    m_plot.SetTitle(std::to_string(m_plotTile) + " \u00B7 " + ModuleName(record.type) + " \u2014 " +
                    PlotTitle(kind, language));
    const auto [nowMs, epoch] = PlotClock();
    m_plot.Item(resources::health::kLargePlot)
        .SetPlot(BuildPlot(m_rounds.History(), record.address, kind, true, nowMs, epoch, language));
}

void CHealthView::OnClick(int controlId) {
    if (controlId == ids::kClose) {
        OnCancel();
        return;
    }
    if (controlId == ids::kSaveCsv) {
        SaveCsv();
        return;
    }
    const int offset = controlId - ids::kTileBase;
    if (offset < 0 || offset >= ids::kTiles * ids::kTileStride)
        return;
    const int tile = offset / ids::kTileStride;
    if (offset % ids::kTileStride == ids::kTilePlot) {
        OpenLargePlot(tile);
        Windows().Repaint();
        return;
    }
    if (m_image == nullptr || tile >= m_image->moduleCount)
        return;
    // The page opens in the main window, which the view would cover: the view steps aside,
    // its rounds go on.
    Show(false);
    if (m_plot.IsCreated())
        m_plot.Show(false);
    m_plotTile = -1;
    if (m_openModule)
        m_openModule(tile);
    Windows().Repaint();
}

void CHealthView::SaveCsv() {
    ui::FileDialogOptions options;
    options.save = true;
    options.title = Tr(ToolText::HealthSaveCsv);
    const std::string folder =
        m_image && !m_image->applicationFolder.empty() ? m_image->applicationFolder : ".";
    options.initialFolder = (std::filesystem::path(folder) / "report").string() + "/";
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(folder) / "report", error);
    const std::tm now = Windows().GetClock().LocalTime();
    char name[64];
    std::snprintf(name, sizeof name, "alarms-%04d%02d%02d-%02d%02d.csv", now.tm_year + 1900, now.tm_mon + 1,
                  now.tm_mday, now.tm_hour, now.tm_min);
    options.fileName = name;
    options.filters = {{"CSV", "*.csv"}};
    options.defaultExtension = "csv";
    options.overwritePrompt = true;
    const auto chosen = Windows().FileDialog(options, WithCsvExtension);
    if (!chosen || chosen->empty() || chosen->front().empty())
        return;
    const platform::FileResult saved = monitor::SaveAlarmLogCsv(
        chosen->front(), m_rounds.Log(), m_rounds.Schedule().thresholds, text::LanguageIndex());
    if (!saved) {
        Windows().MessageBox(text::FormatToolText(ToolText::HealthCsvNotSaved, {saved.error}),
                             Tr(ToolText::HealthTitle), ui::MessageBoxButtons::Ok,
                             ui::MessageBoxIcon::Warning);
        return;
    }
    m_notice = text::FormatToolText(ToolText::HealthCsvSaved, {chosen->front()});
    RefreshRoundLine();
    Windows().Repaint();
}

} // namespace kaptiv::health
