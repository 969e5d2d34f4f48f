#pragma once
// Status rounds for the health view, run between kaptiv's own work on the rack.
//
// A round is taken one exchange per Tick(): the window's timer calls Tick() and goes back to
// its event loop, so a settings-page write queued meanwhile waits for one exchange of a round
// at most. The round's exchanges are counted here, apart from the settings page's idle tick,
// which keeps its own 2 exchanges: rounds keep running while a settings page is open, in the
// ticks between.
//
// No round runs while a scan, a firmware update, a configuration load, a report or a USB-key
// transfer runs (Begin/End, nested calls allowed). A round under way when such work begins is
// dropped, not resumed: its answers would straddle the work. The history then shows a gap.
#include "monitor/AlarmLog.h"
#include "monitor/History.h"
#include "monitor/StatusRound.h"
#include "rack/HealthView.h"

#include <array>
#include <memory>

namespace kaptiv::link {
class CXmit;
}
namespace kaptiv::platform {
class Clock;
}

namespace kaptiv::monitor {

// One status round taken one exchange at a time: the same exchanges, order and budget as
// RunStatusRound.
class SteppedRound {
public:
    SteppedRound(link::CXmit& xmit, platform::Clock& clock, const RoundLimits& limits);
    ~SteppedRound();
    // Does the next exchange; false once the round is over (nothing was sent then).
    bool Step();
    bool Done() const;
    const RoundAnswers& Answers() const { return m_out; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    RoundAnswers m_out;
};

using rack::RackWork;

struct HealthSchedule {
    int64_t roundPeriodMs = 10'000; // a round starts at most this often
    int64_t roundBudgetMs = 10'000;
    AlarmThresholds thresholds;
};

class HealthRounds {
public:
    HealthRounds(link::CXmit& xmit, platform::Clock& clock, HealthSchedule schedule = {});
    ~HealthRounds();

    // Rounds run only while watched (the health view open).
    void SetWatching(bool on);
    bool Watching() const { return m_watching; }
    void Begin(RackWork work);
    void End(RackWork work);
    bool Paused() const;
    // Another rack: history, log and last measures start over (a round under way is dropped).
    void StartOver();

    // At most one exchange. True when a round just ended and was recorded.
    bool Tick();
    // When the next Tick has something to do: now during a round, else the next round's start.
    int64_t NextTickAtMs() const;

    const RackHistory& History() const { return m_history; }
    const AlarmLog& Log() const { return m_log; }
    const RackMeasures& LastMeasures() const { return m_last; }
    const HealthSchedule& Schedule() const { return m_schedule; }
    int64_t Exchanges() const { return m_exchanges; }
    int Rounds() const { return m_rounds; }
    int DroppedRounds() const { return m_dropped; }

private:
    void DropRound();

    link::CXmit& m_xmit;
    platform::Clock& m_clock;
    HealthSchedule m_schedule;
    bool m_watching = false;
    std::array<int, static_cast<size_t>(RackWork::Count)> m_work{};
    std::unique_ptr<SteppedRound> m_round;
    std::optional<int64_t> m_lastRoundStartMs;
    RackHistory m_history;
    AlarmLog m_log;
    RackMeasures m_last;
    int64_t m_exchanges = 0;
    int m_rounds = 0;
    int m_dropped = 0;
};

} // namespace kaptiv::monitor
