#include "rack/CDetachInfo.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using rack::CDetachInfo;
using rack::FormatTransfer;
using rack::TransferTexts;

namespace {

struct CountingDisplay final : ui::Display {
    std::vector<int> controlIds;
    void Present(const ui::DisplayUpdate& update) override {
        for (const auto& c : update.controls)
            controlIds.push_back(c.control.id);
    }
};

struct TransferFixture : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    CDetachInfo transfer{windows};

    void SetUp() override { transfer.Create(); }
    std::string Text(int id) const { return transfer.Item(id).Text(); }
};

TEST_F(TransferFixture, HalfOfAKilobyteAfterTwoSeconds) {
    transfer.Start(1024);
    EXPECT_EQ(Text(CDetachInfo::kPercent), "0.00%");
    clock.Advance(2000);
    transfer.Progress(512);
    EXPECT_EQ(Text(CDetachInfo::kPercent), "50.00%");
    EXPECT_EQ(Text(CDetachInfo::kRate), " 0.26 kB/s");
    EXPECT_EQ(Text(CDetachInfo::kRemaining), "   0:00.02");
    EXPECT_EQ(transfer.Item(CDetachInfo::kProgress).Position(), 512);
    EXPECT_EQ(transfer.Item(CDetachInfo::kProgress).Data().rangeMax, 1024);
}

TEST_F(TransferFixture, FirstUpdateWithNoTimeElapsedShowsZeroRateAndNoRemainingTime) {
    transfer.Start(4096);
    transfer.Progress(0);
    EXPECT_EQ(Text(CDetachInfo::kRate), " 0.00 kB/s");
    EXPECT_EQ(Text(CDetachInfo::kPercent), "0.00%");
    EXPECT_EQ(Text(CDetachInfo::kRemaining), "");
    transfer.Progress(1024); // bytes done, but still no time
    EXPECT_EQ(Text(CDetachInfo::kRate), " 0.00 kB/s");
    EXPECT_EQ(Text(CDetachInfo::kPercent), "25.00%");
    EXPECT_EQ(Text(CDetachInfo::kRemaining), "");
}

TEST_F(TransferFixture, UnchangedTextsAreNotWrittenAgain) {
    CountingDisplay display;
    windows.AddDisplay(&display);
    transfer.Start(1'000'000);
    clock.Advance(10'000);
    transfer.Progress(100'000);
    windows.Repaint();
    display.controlIds.clear();
    transfer.Progress(100'000);
    windows.Repaint();
    EXPECT_TRUE(display.controlIds.empty());
    clock.Advance(10'000);
    transfer.Progress(100'000); // only the rate and the time change
    windows.Repaint();
    EXPECT_EQ(display.controlIds, (std::vector<int>{CDetachInfo::kRate, CDetachInfo::kRemaining}));
    windows.RemoveDisplay(&display);
}

TEST_F(TransferFixture, AMessageBringsTheWindowToTheFrontAndGoesAway) {
    const uint64_t before = transfer.Data().zOrder;
    transfer.ShowMessage("Copying stream.ts", 2000);
    EXPECT_TRUE(transfer.IsVisible());
    EXPECT_GT(transfer.Data().zOrder, before);
    EXPECT_EQ(Text(CDetachInfo::kMessage), "Copying stream.ts");
    loop.RunFor(2000);
    EXPECT_EQ(Text(CDetachInfo::kMessage), "");
    EXPECT_TRUE(transfer.IsVisible()); // it stays up while the transfer runs
}

TEST(FormatTransfer, HoursMinutesSecondsAndTheEnds) {
    // 1 kB/s with 3,723,000 bytes left: 1 h 2 min 3 s.
    EXPECT_EQ(FormatTransfer(10'000, 3'733'000, 10'000),
              (TransferTexts{"0.27%", " 1.00 kB/s", "   1:02.03"}));
    EXPECT_EQ(FormatTransfer(2048, 2048, 1000), (TransferTexts{"100.00%", " 2.05 kB/s", "   0:00.00"}));
    // A crawl whose time does not fit is held at the field's limit.
    EXPECT_EQ(FormatTransfer(1, 1LL << 40, 1'000'000).remaining, "9999:00.00");
    EXPECT_EQ(FormatTransfer(0, 0, 500), (TransferTexts{"0.00%", " 0.00 kB/s", ""}));
}

} // namespace
