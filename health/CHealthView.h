#pragma once
// The health view: a tile per module of the rack, in rack order, with the measures that
// matter for its family, a small plot of its recent past and the colour of its worst active
// alarm; the alarm log below, which can be saved as CSV; a large plot of a tile's history on a
// click on its small plot.
//
// Its status rounds (monitor/HealthRounds.h) run one exchange per timer tick, only while the
// view watches and no scan, firmware update, configuration load, report or USB-key transfer
// runs. A click on a tile opens that module's page in the main window and puts the view aside
// without stopping its rounds, so the history has no gap; the health button brings it back.
// Closing the view stops the rounds; the history stays for the next opening, until another
// rack is found.
#include "monitor/HealthRounds.h"
#include "rack/HealthView.h"
#include "ui/Dialog.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kaptiv::link {
class CXmit;
}

namespace kaptiv::health {

// The large plot of one tile.
class CHealthPlot final : public ui::Dialog {
public:
    explicit CHealthPlot(ui::WindowSystem& windows);
    void OnInitDialog() override;
    void OnClick(int controlId) override;
    void OnCancel() override { Show(false); }
};

class CHealthView final : public ui::Dialog, public rack::HealthView {
public:
    static constexpr int kTickTimer = 1;
    // Between two exchanges of a round: a settings-page write waits at most one exchange.
    static constexpr int64_t kStepMs = 50;
    // How often a paused or rackless view looks again.
    static constexpr int64_t kIdleLookMs = 500;

    CHealthView(ui::WindowSystem& windows, link::CXmit& xmit, monitor::HealthSchedule schedule = {});
    ~CHealthView() override;

    // What kaptiv is doing on the rack (the main window's BusyWith).
    void SetBusyProbe(std::function<rack::RackWorkSet()> probe) { m_busyProbe = std::move(probe); }
    // Opens a module's page as a click on its row of the module column does.
    void SetOpenModule(std::function<void(int row)> open) { m_openModule = std::move(open); }

    // rack::HealthView.
    void OpenHealthView(const rack::RackImage& image, ui::Dialog& owner) override;

    // Watching: shown by the health button and not closed since.
    bool Watching() const { return m_watching; }
    // What the timer does: follow the rack and kaptiv's work, then at most one exchange.
    void Step();
    monitor::HealthRounds& Rounds() { return m_rounds; }
    const monitor::HealthRounds& Rounds() const { return m_rounds; }
    CHealthPlot& LargePlot() { return m_plot; }
    // The tile whose history the large plot shows (-1: none).
    int PlotTile() const { return m_plotTile; }

    void OnInitDialog() override;
    void OnTimer(int timerId) override;
    void OnClick(int controlId) override;
    void OnCancel() override;

private:
    void FollowRack();
    void FollowWork();
    void ScheduleNextTick();
    void Refresh();
    void RefreshTiles();
    // The round line, the log and the buttons right under the rows of tiles in use.
    void PlaceBelowTiles(int rows);
    void RefreshLog();
    void RefreshRoundLine();
    void RefreshLargePlot();
    void OpenLargePlot(int tile);
    void SaveCsv();
    // The last round's measures of the module on row `row` of the rack image (null: none).
    const monitor::ModuleMeasures* MeasuresOfRow(int row) const;
    std::pair<int64_t, double> PlotClock() const;

    monitor::HealthRounds m_rounds;
    CHealthPlot m_plot;
    const rack::RackImage* m_image = nullptr;
    std::function<rack::RackWorkSet()> m_busyProbe;
    std::function<void(int)> m_openModule;
    rack::RackWorkSet m_busy{};
    bool m_watching = false;
    bool m_rackPresent = false;
    // The rack the history belongs to: (address, type) of every module.
    std::vector<std::pair<uint8_t, uint8_t>> m_rack;
    std::optional<std::tm> m_lastRoundWall;
    std::string m_notice; // a line shown instead of the round line until the next round
    int m_plotTile = -1;
};

} // namespace kaptiv::health
