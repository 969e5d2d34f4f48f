// The health view over the simulated demo rack, on virtual time: its rounds hold while kaptiv
// works on the rack, its tiles take the colour of their worst alarm, another rack starts its
// history over, a tile opens its module, closing stops the rounds.
#include "health/CHealthView.h"

#include "link/CXmit.h"
#include "platform/EventLoop.h"
#include "rack/RackImage.h"
#include "resources/Dialogs.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"
#include "text/ToolText.h"
#include "ui/ScriptedResponder.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace kaptiv;
using health::CHealthView;
namespace ids = resources::health;

namespace {

constexpr ui::Color kRed{0xd0, 0x47, 0x3a};
constexpr ui::Color kGreen{0x2f, 0xa8, 0x6a};

struct View : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    mulvane::RackEngine engine{mulvane::DemoRack(), 3};
    mulvane::SerialLine line{&engine};
    link::CXmit xmit{clock};
    rack::RackImage image;
    ui::Dialog owner{windows, resources::DialogTemplateById(resources::kDialogInfo)};
    CHealthView view{windows, xmit};
    rack::RackWorkSet busy{};
    std::vector<int> opened;

    void SetUp() override {
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, line, 0));
        ASSERT_TRUE(xmit.OpenLink());
        FillDemoRack();
        owner.Create();
        view.SetBusyProbe([this] { return busy; });
        view.SetOpenModule([this](int row) { opened.push_back(row); });
    }
    // The image as a scan of the demo rack leaves it: the controller, then addresses 10 to 20.
    void FillDemoRack() {
        image.StartScan();
        const uint8_t types[] = {7, 3, 6, 12, 11, 14, 13, 4, 2, 9, 8};
        uint8_t address = 10;
        for (uint8_t type : types)
            image.Append(address++, type);
    }
    // Time passes as the view's timer lets it, until a round ends (bounded).
    bool RunUntilRound(int maxSteps = 1000) {
        const int before = view.Rounds().Rounds();
        for (int i = 0; i < maxSteps; ++i) {
            clock.Advance(CHealthView::kStepMs);
            view.Step();
            if (view.Rounds().Rounds() > before)
                return true;
        }
        return false;
    }
    int64_t ExchangesOver(int steps) {
        const int64_t before = view.Rounds().Exchanges();
        for (int i = 0; i < steps; ++i) {
            clock.Advance(CHealthView::kStepMs);
            view.Step();
        }
        return view.Rounds().Exchanges() - before;
    }
    std::optional<ui::Color> Strip(int tile) {
        return view.Item(ids::TileControl(tile, ids::kTileStrip)).Data().backColor;
    }
    std::string RoundLine() { return view.Item(ids::kRoundLine).Text(); }
};

} // namespace

TEST_F(View, EveryWorkOnTheRackHoldsTheRoundsAndTheViewSaysSo) {
    view.OpenHealthView(image, owner);
    ASSERT_TRUE(view.IsVisible());
    EXPECT_EQ(view.Rounds().Exchanges(), 1); // opening starts a round at once
    for (size_t w = 0; w < busy.size(); ++w) {
        SCOPED_TRACE(w);
        // Into the next round: its first exchange.
        for (int i = 0; i < 400 && ExchangesOver(1) == 0; ++i) {
        }
        ASSERT_FALSE(view.Rounds().Paused());
        const int dropped = view.Rounds().DroppedRounds();
        busy[w] = true;
        // Long enough for several rounds: not one exchange, and the round under way is dropped.
        EXPECT_EQ(ExchangesOver(600), 0);
        EXPECT_EQ(view.Rounds().DroppedRounds(), dropped + 1);
        EXPECT_EQ(RoundLine(), text::LocalizedToolText(text::ToolText::HealthPaused));
        busy[w] = false;
        ASSERT_TRUE(RunUntilRound());
        EXPECT_TRUE(RoundLine().starts_with("Last round")) << RoundLine();
    }
}

TEST_F(View, TilesTakeTheColourOfTheirWorstAlarmAndTheLogKeepsIt) {
    view.OpenHealthView(image, owner);
    ASSERT_TRUE(RunUntilRound());
    EXPECT_EQ(Strip(1), kGreen);
    EXPECT_EQ(Strip(2), kGreen);
    // The CI module (row 2, address 11) falls silent: its tile turns red at the next round.
    engine.GetFaults().DropAllAnswersOf(11);
    ASSERT_TRUE(RunUntilRound());
    EXPECT_EQ(Strip(2), kRed);
    EXPECT_EQ(Strip(1), kGreen);
    EXPECT_EQ(view.Item(ids::TileControl(2, ids::kTileLine)).Text(), "not answering");
    const ui::Control& log = view.Item(ids::kLog);
    ASSERT_GE(log.RowCount(), 1);
    EXPECT_EQ(log.Cell(0, 1).text, "active");
    EXPECT_EQ(log.Cell(0, 4).text, "The module does not answer.");
    // Tiles past the rack's modules stay hidden.
    EXPECT_TRUE(view.Item(ids::TileControl(11, ids::kTileFrame)).IsVisible());
    EXPECT_FALSE(view.Item(ids::TileControl(12, ids::kTileFrame)).IsVisible());
}

TEST_F(View, ALostRackHoldsTheRoundsAnotherRackStartsTheHistoryOver) {
    view.OpenHealthView(image, owner);
    ASSERT_TRUE(RunUntilRound());
    ASSERT_FALSE(view.Rounds().History().Series().empty());
    // Link torn down, waiting for a scan: no exchange at all, the line says why.
    image.Clear();
    EXPECT_EQ(ExchangesOver(400), 0);
    EXPECT_EQ(RoundLine(), text::LocalizedToolText(text::ToolText::HealthNoRack));
    // A scan reads it again: half-read it is not another rack.
    busy[static_cast<size_t>(rack::RackWork::Scan)] = true;
    image.StartScan();
    image.Append(10, 7);
    EXPECT_EQ(ExchangesOver(10), 0);
    EXPECT_FALSE(view.Rounds().History().Series().empty());
    // The same rack back: its history goes on.
    FillDemoRack();
    busy[static_cast<size_t>(rack::RackWork::Scan)] = false;
    ASSERT_TRUE(RunUntilRound());
    EXPECT_FALSE(view.Rounds().History().Series().empty());
    // Another rack: the past shown would not be its own.
    image.Live(3).type = type::kModT2;
    clock.Advance(CHealthView::kStepMs);
    view.Step();
    EXPECT_TRUE(view.Rounds().History().Series().empty());
    EXPECT_TRUE(view.Rounds().Log().Entries().empty());
}

TEST_F(View, ATileOpensItsModuleTheRoundsGoOnUntilTheViewIsClosed) {
    view.OpenHealthView(image, owner);
    ASSERT_TRUE(RunUntilRound());
    // Its small plot: the large one opens with the tuner's levels and qualities.
    view.OnClick(ids::TileControl(1, ids::kTilePlot));
    ASSERT_TRUE(view.LargePlot().IsVisible());
    EXPECT_EQ(view.PlotTile(), 1);
    const ui::PlotData& plot = view.LargePlot().Item(ids::kLargePlot).Data().plot;
    ASSERT_EQ(plot.series.size(), 4u);
    EXPECT_EQ(plot.series[0].label, "level A");
    EXPECT_TRUE(plot.axes);
    // Anywhere else on the tile: its module opens, the view steps aside and keeps watching.
    view.OnClick(ids::TileControl(1, ids::kTileTitle));
    EXPECT_EQ(opened, std::vector<int>{1});
    EXPECT_FALSE(view.IsVisible());
    EXPECT_FALSE(view.LargePlot().IsVisible());
    EXPECT_TRUE(view.Watching());
    EXPECT_TRUE(RunUntilRound());
    // Closed: no more exchanges, no timer.
    view.OpenHealthView(image, owner);
    view.OnClick(ids::kClose);
    EXPECT_FALSE(view.Watching());
    EXPECT_FALSE(view.IsTimerSet(CHealthView::kTickTimer));
    EXPECT_EQ(ExchangesOver(400), 0);
}

TEST_F(View, TheLargePlotShowsTheStretchWithoutLockAsAGapInTheQuality) {
    view.OpenHealthView(image, owner);
    ASSERT_TRUE(RunUntilRound());
    engine.SetInputSignal(10, 0, false);
    ASSERT_TRUE(RunUntilRound());
    ASSERT_TRUE(RunUntilRound());
    EXPECT_EQ(Strip(1), kRed);
    engine.SetInputSignal(10, 0, true);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(RunUntilRound());
    EXPECT_EQ(Strip(1), kGreen);
    view.OnClick(ids::TileControl(1, ids::kTilePlot));
    const ui::PlotData& plot = view.LargePlot().Item(ids::kLargePlot).Data().plot;
    ASSERT_GE(plot.series.size(), 2u);
    const auto& quality = plot.series[1].values;
    ASSERT_EQ(plot.series[1].label, "quality A");
    ASSERT_GE(quality.size(), 5u);
    EXPECT_TRUE(quality.front().has_value());
    EXPECT_FALSE(quality[1].has_value());
    EXPECT_FALSE(quality[2].has_value());
    EXPECT_TRUE(quality.back().has_value());
    // The log has the alarm, raised and cleared.
    bool found = false;
    for (const monitor::AlarmLogEntry& e : view.Rounds().Log().Entries())
        found |=
            e.alarm.kind == monitor::AlarmKind::InputNoLock && e.alarm.input == "A" && e.cleared.has_value();
    EXPECT_TRUE(found);
}

TEST_F(View, ASavedLogIsWrittenWholeAndAFailedSaveSaysSo) {
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{windows, [&](const std::string& what) { failures.push_back(what); }};
    view.OpenHealthView(image, owner);
    engine.GetFaults().DropAllAnswersOf(11);
    ASSERT_TRUE(RunUntilRound());
    ASSERT_TRUE(view.Item(ids::kSaveCsv).IsEnabled());
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kaptiv-health-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    // A typed name without extension: ".csv" is added, and the line says where it went.
    responder.AnswerFileDialog({(folder / "alarms").string()});
    view.OnClick(ids::kSaveCsv);
    const std::filesystem::path saved = folder / "alarms.csv";
    ASSERT_TRUE(std::filesystem::exists(saved));
    std::ifstream in(saved);
    const std::string csv((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(csv.find("module_missing"), std::string::npos) << csv;
    EXPECT_NE(RoundLine().find(saved.string()), std::string::npos) << RoundLine();
    // A folder that does not exist: the installer is told, nothing is left behind.
    responder.AnswerFileDialog({(folder / "missing" / "alarms.csv").string()});
    responder.AnswerMessageBox(ui::ModalResult::Ok, "The alarm log was not saved");
    view.OnClick(ids::kSaveCsv);
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_TRUE(failures.empty()) << failures.front();
    std::filesystem::remove_all(folder);
}
