// Health rounds on the simulated demo rack, on virtual time: one exchange per tick, the same
// round as the blocking one, pauses while kaptiv works on the rack, alarms raised and cleared.
#include "monitor/HealthRounds.h"
#include "link/CXmit.h"
#include "platform/Clock.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kaptiv;
using namespace kaptiv::monitor;

namespace {

struct Health : ::testing::Test {
    platform::ManualClock clock;
    mulvane::RackEngine engine{mulvane::DemoRack(), 3};
    mulvane::SerialLine line{&engine};
    link::CXmit xmit{clock};

    void SetUp() override {
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, line, 0));
        ASSERT_TRUE(xmit.OpenLink());
    }
    // Ticks until a round ends (bounded); each tick must do at most one exchange.
    int TicksToRoundEnd(HealthRounds& rounds) {
        for (int ticks = 1; ticks <= 200; ++ticks) {
            const int64_t before = rounds.Exchanges();
            const bool ended = rounds.Tick();
            EXPECT_LE(rounds.Exchanges() - before, 1);
            if (ended)
                return ticks;
        }
        return -1;
    }
};

} // namespace

TEST_F(Health, TheSteppedRoundAsksWhatTheBlockingRoundAsksOneExchangePerStep) {
    RunStatusRound(xmit, clock, {}); // the CAM initialises after a first request
    clock.Advance(2000);
    const RackMeasures blocking = DecodeRound(RunStatusRound(xmit, clock, {}));
    SteppedRound round(xmit, clock, {});
    int steps = 0;
    while (round.Step())
        ++steps;
    const RackMeasures stepped = DecodeRound(round.Answers());
    ASSERT_TRUE(stepped.Complete());
    EXPECT_EQ(steps, stepped.exchanges);
    EXPECT_EQ(stepped.exchanges, blocking.exchanges);
    ASSERT_EQ(stepped.modules.size(), blocking.modules.size());
    for (size_t i = 0; i < stepped.modules.size(); ++i) {
        EXPECT_EQ(stepped.modules[i].address, blocking.modules[i].address);
        EXPECT_EQ(stepped.modules[i].up, blocking.modules[i].up);
        EXPECT_EQ(stepped.modules[i].channels.size(), blocking.modules[i].channels.size());
        EXPECT_EQ(stepped.modules[i].camState, blocking.modules[i].camState);
    }
    EXPECT_FALSE(round.Step());
}

TEST_F(Health, TheSteppedRoundKeepsTheBudgetAndTheControllerFailure) {
    engine.GetFaults().DropAllAnswersOf(10);
    engine.GetFaults().DropAllAnswersOf(11);
    SteppedRound slow(xmit, clock, RoundLimits{150});
    while (slow.Step()) {
    }
    EXPECT_EQ(slow.Answers().failure, RoundFailure::OutOfTime);
    engine.GetFaults().DropAllAnswersOf(0);
    SteppedRound silent(xmit, clock, {});
    while (silent.Step()) {
    }
    EXPECT_EQ(silent.Answers().failure, RoundFailure::NoController);
}

TEST_F(Health, RoundsRunOnlyWhileWatchedAndAtMostOncePerPeriod) {
    HealthRounds rounds(xmit, clock);
    EXPECT_FALSE(rounds.Tick());
    EXPECT_EQ(rounds.Exchanges(), 0);
    rounds.SetWatching(true);
    EXPECT_GT(TicksToRoundEnd(rounds), 20);
    const int64_t afterOne = rounds.Exchanges();
    const int64_t next = rounds.NextTickAtMs();
    clock.AdvanceTo(next - 1);
    EXPECT_FALSE(rounds.Tick());
    EXPECT_EQ(rounds.Exchanges(), afterOne);
    clock.AdvanceTo(next);
    rounds.Tick();
    EXPECT_EQ(rounds.Exchanges(), afterOne + 1);
}

TEST_F(Health, EveryTransferPausesTheRoundsAndDropsTheRoundUnderWay) {
    HealthRounds rounds(xmit, clock);
    rounds.SetWatching(true);
    for (RackWork work : {RackWork::Scan, RackWork::FirmwareUpdate, RackWork::ConfigurationLoad,
                          RackWork::Report, RackWork::UsbKeyTransfer}) {
        clock.Advance(10'000);
        rounds.Tick();
        rounds.Tick(); // a round under way
        const int dropped = rounds.DroppedRounds();
        rounds.Begin(work);
        EXPECT_TRUE(rounds.Paused());
        EXPECT_EQ(rounds.DroppedRounds(), dropped + 1);
        const int64_t exchanges = rounds.Exchanges();
        for (int i = 0; i < 50; ++i) {
            clock.Advance(1000);
            EXPECT_FALSE(rounds.Tick());
        }
        EXPECT_EQ(rounds.Exchanges(), exchanges) << static_cast<int>(work);
        rounds.End(work);
        EXPECT_FALSE(rounds.Paused());
        EXPECT_GT(TicksToRoundEnd(rounds), 0);
    }
    EXPECT_EQ(rounds.Rounds(), 5);
}

TEST_F(Health, NestedWorkKeepsThePauseUntilTheLastEnds) {
    HealthRounds rounds(xmit, clock);
    rounds.SetWatching(true);
    rounds.Begin(RackWork::Scan);
    rounds.Begin(RackWork::Report);
    rounds.Begin(RackWork::Report);
    rounds.End(RackWork::Report);
    rounds.End(RackWork::Scan);
    EXPECT_TRUE(rounds.Paused());
    EXPECT_FALSE(rounds.Tick());
    rounds.End(RackWork::Report);
    rounds.End(RackWork::Report); // one End too many changes nothing
    EXPECT_FALSE(rounds.Paused());
    EXPECT_TRUE(rounds.Tick() || rounds.Exchanges() == 1);
}

TEST_F(Health, AnAntennaPulledForAWhileIsLoggedThenClearedAndThePauseLeavesAGap) {
    HealthRounds rounds(xmit, clock);
    rounds.SetWatching(true);
    ASSERT_GT(TicksToRoundEnd(rounds), 0);
    engine.SetInputSignal(10, 0, false);
    clock.AdvanceTo(rounds.NextTickAtMs());
    ASSERT_GT(TicksToRoundEnd(rounds), 0);
    EXPECT_EQ(rounds.Log().WorstActive(1), AlarmSeverity::Critical);
    ASSERT_FALSE(rounds.Log().Entries().empty());
    const auto& raised = rounds.Log().Entries();
    EXPECT_TRUE(std::any_of(raised.begin(), raised.end(), [](const AlarmLogEntry& e) {
        return e.alarm.kind == AlarmKind::InputNoLock && e.alarm.input == "A" && e.Active();
    }));

    rounds.Begin(RackWork::Scan);
    clock.Advance(30'000);
    rounds.End(RackWork::Scan);
    engine.SetInputSignal(10, 0, true);
    clock.Advance(5'000);
    ASSERT_GT(TicksToRoundEnd(rounds), 0);
    EXPECT_EQ(rounds.Log().WorstActive(1), AlarmSeverity::None);
    EXPECT_FALSE(rounds.Log().Entries().back().Active());

    const auto samples = rounds.History().Find(1, "A.lock")->ring.Samples();
    ASSERT_GE(samples.size(), 4u);
    EXPECT_EQ(samples.front().value, 2.0);
    EXPECT_EQ(samples[1].value, 0.0);
    EXPECT_FALSE(samples[2].value); // the scan's 30 s
    EXPECT_EQ(samples.back().value, 2.0);
}

TEST_F(Health, ASilentModuleIsNoLostLinkButALossSeenBeforeTheRoundStays) {
    HealthRounds rounds(xmit, clock);
    rounds.SetWatching(true);
    engine.GetFaults().DropAllAnswersOf(11);
    ASSERT_GT(TicksToRoundEnd(rounds), 0);
    EXPECT_FALSE(xmit.IsLinkLost()); // the watchdog must not tear the rack down for it
    // Another exchange failed before the round: the watchdog still has to hear of it.
    EXPECT_FALSE(xmit.Exchange(0, 11, 0x40, nullptr, 10));
    ASSERT_TRUE(xmit.IsLinkLost());
    clock.Advance(10'000);
    ASSERT_GT(TicksToRoundEnd(rounds), 0);
    EXPECT_TRUE(xmit.IsLinkLost());
}
