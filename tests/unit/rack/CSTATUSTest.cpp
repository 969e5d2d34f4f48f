#include "rack/CSTATUS.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using rack::CSTATUS;

namespace {

struct StatusFixture : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    CSTATUS status{windows};
    link::LinkIndicators& lamps = status;

    void SetUp() override {
        status.Create();
        ASSERT_TRUE(status.LoadLampBitmaps());
    }

    int Lamp(int id) const { return status.Item(id).Image().id; }

    // One request as the exchange makes it: lamps on, the thread blocked for the exchange,
    // lamp timers armed at the end.
    void Request(bool write, int64_t exchangeMs) {
        lamps.LightLamps(write);
        clock.Advance(exchangeMs);
        lamps.ArmLampTimers();
    }
};

TEST_F(StatusFixture, ReadLightsOnlyTheActivityLampWriteLightsBoth) {
    lamps.LightLamps(false);
    EXPECT_EQ(Lamp(CSTATUS::kActivityLamp), CSTATUS::kActivityOnBitmap);
    EXPECT_EQ(Lamp(CSTATUS::kWriteLamp), CSTATUS::kLampOffBitmap);
    EXPECT_EQ(loop.TimerPeriod(&status, CSTATUS::kActivityTimer), 5000);
    EXPECT_EQ(loop.TimerPeriod(&status, CSTATUS::kWriteTimer), 100);

    lamps.LightLamps(true);
    EXPECT_EQ(Lamp(CSTATUS::kWriteLamp), CSTATUS::kWriteOnBitmap);
    EXPECT_EQ(loop.TimerPeriod(&status, CSTATUS::kWriteTimer), 5000);
}

TEST_F(StatusFixture, TwoQuickRequestsKeepBothLampsLitUntil100MsAfterTheSecond) {
    Request(true, 30);
    loop.RunFor(40); // the loop runs briefly between the two requests
    Request(true, 30);
    loop.RunFor(99);
    EXPECT_EQ(Lamp(CSTATUS::kActivityLamp), CSTATUS::kActivityOnBitmap);
    EXPECT_EQ(Lamp(CSTATUS::kWriteLamp), CSTATUS::kWriteOnBitmap);
    loop.RunFor(1);
    EXPECT_EQ(Lamp(CSTATUS::kActivityLamp), CSTATUS::kLampOffBitmap);
    EXPECT_EQ(Lamp(CSTATUS::kWriteLamp), CSTATUS::kLampOffBitmap);
    // One-shot: the timers are gone once the lamps are out.
    EXPECT_FALSE(status.IsTimerSet(CSTATUS::kActivityTimer));
    EXPECT_FALSE(status.IsTimerSet(CSTATUS::kWriteTimer));
}

TEST_F(StatusFixture, ALampLitWithoutTheEndOfItsExchangeGoesOutAfterFiveSeconds) {
    lamps.LightLamps(true);
    loop.RunFor(4999);
    EXPECT_EQ(Lamp(CSTATUS::kWriteLamp), CSTATUS::kWriteOnBitmap);
    loop.RunFor(1);
    EXPECT_EQ(Lamp(CSTATUS::kActivityLamp), CSTATUS::kLampOffBitmap);
    EXPECT_EQ(Lamp(CSTATUS::kWriteLamp), CSTATUS::kLampOffBitmap);
}

TEST_F(StatusFixture, TheNoticeStaysInRedAfterALaterSuccess) {
    EXPECT_EQ(status.Item(CSTATUS::kNotice).Text(), "");
    Request(false, 50);
    lamps.ShowLinkNotice("LME#1A");
    Request(false, 10); // answered
    loop.RunFor(200);
    EXPECT_EQ(status.Item(CSTATUS::kNotice).Text(), "LME#1A");
    EXPECT_EQ(status.Item(CSTATUS::kNotice).Data().textColor, (ui::Color{255, 0, 0}));
    lamps.ShowLinkNotice("LME#03");
    EXPECT_EQ(status.Item(CSTATUS::kNotice).Text(), "LME#03");
}

} // namespace
