// Figures of the settings page over the simulated demo rack, on virtual time (the in-memory
// serial bus; the clock jumps over waits, exchanges take their simulated time):
//  - edit -> block stored by the simulated module: p50 and p95 over 20 edits of the satellite
//    frequency made at spread-out moments of the one-second tick (target p95 <= 1.1 s);
//  - exchanges per idle tick for each family's chain against the least the tick needs: one
//    status read of the input and, with an output, one rate read of the output. Service-list
//    reads that the simulated dynamics trigger (lock changes, change indicators) are counted
//    apart.
#include "editor/CSatCofdm.h"
#include "resources/SettingsIds.h"
#include "sim/Rack.h"
#include "tests/unit/rack/MainWindowSupport.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace kaptiv;

namespace {

constexpr uint8_t kReadStatus = 0x40;
constexpr uint8_t kReadData = 0x60;

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

void EditToStored() {
    Bench b;
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
        "figure: edit -> block stored (virtual time, 20 edits): p50 %lld ms, p95 %lld ms, max %lld ms "
        "(target p95 <= 1100 ms)\n",
        static_cast<long long>(at(0.5)), static_cast<long long>(at(0.95)),
        static_cast<long long>(latencies.back()));
}

} // namespace

int main() {
    IdleTicks();
    EditToStored();
    return 0;
}
