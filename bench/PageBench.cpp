// Figures of the settings page over the simulated demo rack, on virtual time (the in-memory
// serial bus; the clock jumps over waits, exchanges take their simulated time):
//  - edit -> block stored by the simulated module: p50 and p95 over 20 edits of the satellite
//    frequency made at spread-out moments of the one-second tick (target p95 <= 1.1 s);
//  - exchanges per idle tick for each family's chain against the least the tick needs: one
//    status read of the input and, with an output, one rate read of the output. Service-list
//    reads that the simulated dynamics trigger (lock changes, change indicators) are counted
//    apart;
//  - browser click -> repaint sent: the page's message parsed, delivered, the repaint point
//    reached and its update message encoded, p50 and p95 in real time (steady clock) on this
//    machine; the WebSocket hop and the browser's own drawing are not in it;
//  - the display update sent to the browser per idle status tick, in bytes of its JSON message,
//    for each family's chain;
//  - the health view's added bus load: exchanges per second with the settings page open and
//    the health rounds watching or not, the page's own exchanges per tick apart, and the
//    edit -> block stored p95 again with the health rounds running.
#include "editor/CSatCofdm.h"
#include "health/CHealthView.h"
#include "resources/SettingsIds.h"
#include "sim/Rack.h"
#include "tests/unit/rack/MainWindowSupport.h"
#include "web/Protocol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace kaptiv;

namespace {

constexpr uint8_t kReadStatus = 0x40;
constexpr uint8_t kReadData = 0x60;

// Stands where the browser's display would: encodes every repaint as the message that would
// go over the WebSocket, and notes its size and when it was ready.
struct EncodingDisplay final : ui::Display {
    struct Sent {
        size_t bytes;
        std::chrono::steady_clock::time_point at;
    };
    std::vector<Sent> sent;

    void Present(const ui::DisplayUpdate& update) override {
        if (update.Empty())
            return;
        const std::string message = web::EncodeUpdate(update);
        sent.push_back({message.size(), std::chrono::steady_clock::now()});
    }
};

template <typename T> T Quantile(std::vector<T> values, double q) {
    std::sort(values.begin(), values.end());
    return values.empty() ? T{} : values[std::min(values.size() - 1, size_t(q * double(values.size())))];
}

struct Bench {
    test::MainWindowOnSim sim;
    editor::CSatCofdm page{sim.windows};

    Bench() {
        sim.main.SetChainPage(&page);
        sim.Open(mulvane::DemoRack());
        sim.RunUntilScans(1);
    }
};

void IdleTicks() {
    struct Family {
        int row;
        const char* name;
        std::vector<uint8_t> chain; // addresses of the chain's input and output
    };
    const Family families[] = {{1, "twin satellite -> CI -> COFDM 4", {10, 12}},
                               {4, "terrestrial -> QAM 2", {13, 14}},
                               {6, "HD encoder -> IP streamer", {15, 16}},
                               {8, "satellite -> COFDM 1", {17, 18}},
                               {10, "A/V encoder -> QAM 4", {19, 20}}};
    constexpr int kTicks = 20;
    for (const Family& f : families) {
        Bench b;
        b.sim.main.SelectModule(f.row);
        b.sim.loop.RunFor(2150); // the first ticks read the service lists
        b.sim.engine->ClearHistory();
        b.sim.loop.RunFor(kTicks * 1000);
        int status = 0, data = 0, other = 0, lists = 0;
        for (const auto& r : b.sim.engine->AllRequests()) {
            if (r.destination == f.chain[0] && r.command == kReadStatus)
                ++status;
            else if (r.destination == f.chain[1] && r.command == kReadData)
                ++data;
            else if (r.destination == f.chain[0] && r.command == kReadData)
                ++lists;
            else
                ++other;
        }
        const double perTick = double(status + data + lists + other) / kTicks;
        std::printf(
            "figure: idle tick, %-34s %.2f exchanges/tick (status %.2f, rates %.2f, list re-reads %.2f, "
            "other %.2f); least %d\n",
            f.name, perTick, double(status) / kTicks, double(data) / kTicks, double(lists) / kTicks,
            double(other) / kTicks, 2);
    }
}

// The health view as kaptiv runs it: its own timer, one exchange of a round per tick, and the
// main window telling it what work runs on the rack.
struct Health {
    health::CHealthView view;
    explicit Health(Bench& b) : view(b.sim.windows, b.sim.xmit) {
        view.SetBusyProbe([&b] { return b.sim.main.BusyWith(); });
    }
    void Open(Bench& b) { view.OpenHealthView(b.sim.main.Image(), b.sim.main); }
};

void HealthLoad() {
    constexpr int64_t kSpanMs = 60'000;
    for (bool watching : {false, true}) {
        Bench b;
        Health health(b);
        b.sim.main.SelectModule(1);
        b.sim.loop.RunFor(2150);
        if (watching)
            health.Open(b);
        b.sim.engine->ClearHistory();
        const int64_t before = health.view.Rounds().Exchanges();
        b.sim.loop.RunFor(kSpanMs);
        const double all = double(b.sim.engine->AllRequests().size());
        const double rounds = double(health.view.Rounds().Exchanges() - before);
        std::printf(
            "figure: bus load, settings page open, health view %-6s %.2f exchanges/s (health rounds %.2f/s, "
            "%d rounds; settings page %.2f exchanges/tick)\n",
            watching ? "open" : "closed", all * 1000 / kSpanMs, rounds * 1000 / kSpanMs,
            health.view.Rounds().Rounds(), (all - rounds) / (kSpanMs / 1000));
    }
}

void EditToStored(bool withHealth = false) {
    Bench b;
    Health health(b);
    if (withHealth)
        health.Open(b);
    b.sim.main.SelectModule(1);
    b.sim.loop.RunFor(2150);
    std::vector<int64_t> latencies;
    uint32_t seed = 12345;
    for (int i = 0; i < 20; ++i) {
        seed = seed * 1103515245u + 12345u;
        b.sim.loop.RunFor((seed >> 8) % 1000); // a moment somewhere in the tick
        const size_t before = b.sim.engine->BlocksWritten(10).size();
        ui::Control& field = b.page.Item(resources::page::kSatFreq);
        field.SetText(std::to_string(11000 + 10 * i));
        b.page.OnEditChange(resources::page::kSatFreq);
        const int64_t start = b.sim.clock.NowMs();
        while (b.sim.engine->BlocksWritten(10).size() == before && b.sim.clock.NowMs() - start < 5000)
            b.sim.loop.RunFor(5);
        latencies.push_back(b.sim.clock.NowMs() - start);
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies[std::min(latencies.size() - 1, size_t(q * latencies.size()))];
    };
    std::printf(
        "figure: edit -> block stored (virtual time, 20 edits%s): p50 %lld ms, p95 %lld ms, max %lld ms "
        "(target p95 <= 1100 ms)\n",
        withHealth ? ", health view open" : "", static_cast<long long>(at(0.5)),
        static_cast<long long>(at(0.95)), static_cast<long long>(latencies.back()));
}

struct Family {
    int row;
    const char* name;
};
const Family kFamilies[] = {{1, "twin satellite -> CI -> COFDM 4"},
                            {4, "terrestrial -> QAM 2"},
                            {6, "HD encoder -> IP streamer"},
                            {8, "satellite -> COFDM 1"},
                            {10, "A/V encoder -> QAM 4"}};

// One browser message as the page sends it, from its text to the encoded repaint.
double ClickToRepaintMs(Bench& b, EncodingDisplay& display, const std::string& message) {
    const auto start = std::chrono::steady_clock::now();
    const size_t before = display.sent.size();
    const web::ParsedBrowserMessage parsed = web::ParseBrowserMessage(message);
    if (!parsed.message)
        return -1;
    b.sim.windows.DeliverEvent(parsed.message->event);
    b.sim.windows.Repaint();
    if (display.sent.size() == before)
        return -1; // nothing to repaint: not a figure
    return std::chrono::duration<double, std::milli>(display.sent.back().at - start).count();
}

void ClickToRepaint() {
    Bench b;
    EncodingDisplay display;
    b.sim.windows.AddDisplay(&display);
    b.sim.main.Show(true);
    b.sim.main.SelectModule(1);
    b.sim.loop.RunFor(2150);
    const int rows = b.page.Item(resources::page::kServiceList).RowCount();
    const std::string list = "\"dialog\":" + std::to_string(resources::page::kDialogSettings) +
                             ",\"control\":" + std::to_string(resources::page::kServiceList);
    std::vector<double> select, route;
    for (int i = 0; i < 200 && rows > 0; ++i) {
        const int row = i % rows;
        // A click on a row: the selection comes back with the rate graph's colours.
        const double s = ClickToRepaintMs(
            b, display, "{\"type\":\"select\"," + list + ",\"rows\":[" + std::to_string(row) + "]}");
        if (s >= 0)
            select.push_back(s);
        // A double-click in the "On" column of channel 2: the table is rebuilt and repainted.
        const double r = ClickToRepaintMs(b, display,
                                          "{\"type\":\"dblclick\"," + list +
                                              ",\"row\":" + std::to_string(row) + ",\"col\":12}");
        if (r >= 0)
            route.push_back(r);
        b.sim.loop.RunFor(50); // the tick writes now and then, as it would
    }
    b.sim.windows.RemoveDisplay(&display);
    std::printf("figure: click -> repaint encoded (real time, model side, %d-row table): select p50 %.3f ms, "
                "p95 %.3f ms (%zu clicks); route to channel 2 p50 %.3f ms, p95 %.3f ms (%zu double-clicks); "
                "target p95 < 50 ms\n",
                rows, Quantile(select, 0.5), Quantile(select, 0.95), select.size(), Quantile(route, 0.5),
                Quantile(route, 0.95), route.size());
}

void TickDelta() {
    constexpr int kTicks = 20;
    for (const Family& f : kFamilies) {
        Bench b;
        EncodingDisplay display;
        b.sim.windows.AddDisplay(&display);
        b.sim.main.Show(true);
        b.sim.main.SelectModule(f.row);
        b.sim.loop.RunFor(2150); // past the first ticks, which fill the page
        std::vector<size_t> perTick;
        size_t messages = 0;
        for (int t = 0; t < kTicks; ++t) {
            const size_t first = display.sent.size();
            b.sim.loop.RunFor(1000);
            size_t bytes = 0;
            for (size_t i = first; i < display.sent.size(); ++i)
                bytes += display.sent[i].bytes;
            messages += display.sent.size() - first;
            perTick.push_back(bytes);
        }
        b.sim.windows.RemoveDisplay(&display);
        const size_t full = web::EncodeUpdate(b.sim.windows.Snapshot()).size();
        std::printf(
            "figure: idle tick delta, %-34s p50 %zu B, p95 %zu B, max %zu B per tick (%.1f messages/tick); "
            "whole state %zu B\n",
            f.name, Quantile(perTick, 0.5), Quantile(perTick, 0.95),
            *std::max_element(perTick.begin(), perTick.end()), double(messages) / kTicks, full);
    }
}

} // namespace

int main() {
    IdleTicks();
    EditToStored();
    HealthLoad();
    EditToStored(true);
    ClickToRepaint();
    TickDelta();
    return 0;
}
