#pragma once
// The settings page opened from the main window over the simulated demo rack, on virtual time.
#include "editor/CSatCofdm.h"
#include "resources/Dialogs.h"
#include "resources/SettingsIds.h"
#include "tests/unit/rack/MainWindowSupport.h"
#include "ui/ScriptedResponder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kaptiv::test::page {

using editor::CSatCofdm;
using namespace resources::page;

// Demo rack rows (addresses 9 + row): 1 twin satellite tuner, 2 CI, 3 COFDM 4 channels;
// 4 terrestrial tuner, 5 QAM 2 channels; 6 HD encoder, 7 IP streamer; 8 single satellite
// tuner, 9 COFDM 1 channel; 10 A/V encoder, 11 QAM 4 channels.
constexpr int kRowSat2_0 = 1;
constexpr int kRowTerrestrial = 4;
constexpr int kRowHd = 6;
constexpr int kRowSat1 = 8;
constexpr int kRowAv = 10;

inline uint8_t Address(int row) {
    return static_cast<uint8_t>(9 + row);
}

struct SettingsPage : ::testing::Test {
    test::MainWindowOnSim sim;
    CSatCofdm page{sim.windows};
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{sim.windows,
                                    [this](const std::string& what) { failures.push_back(what); }};

    void Start(mulvane::RackConfig rack = mulvane::DemoRack()) {
        sim.main.SetChainPage(&page);
        for (auto& m : rack.modules) {
            m.answerDelayMinMs = 1;
            m.answerDelayMaxMs = 1;
        }
        sim.Open(std::move(rack));
        sim.main.Show(true);
        sim.RunUntilScans(1);
        ASSERT_EQ(sim.main.LastScan().outcome, rack::ScanOutcome::Connected);
    }
    // Selects a row and lets the first (100 ms) tick pass; the history starts after it.
    void Open(int row) {
        sim.main.SelectModule(row);
        ASSERT_TRUE(page.IsChainOpen());
        sim.loop.RunFor(150);
        sim.engine->ClearHistory();
    }
    void Type(int controlId, const std::string& text) {
        page.Item(controlId).SetText(text);
        page.OnEditChange(controlId);
    }
    void Choose(int controlId, int item) {
        page.Item(controlId).SetSelectedItem(item);
        page.OnSelChange(controlId);
    }
    bool Shown(int id) const { return page.Item(id).IsVisible(); }
    std::vector<std::vector<uint8_t>> Written(int row) const {
        return sim.engine->BlocksWritten(Address(row));
    }
    void TearDown() override { EXPECT_TRUE(failures.empty()) << failures.front(); }
};

} // namespace kaptiv::test::page
