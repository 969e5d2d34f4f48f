#include "monitor/HealthRounds.h"

#include "link/CXmit.h"
#include "link/CommandSet.h"
#include "platform/Clock.h"
#include "platform/ModuleType.h"
#include "rack/RackImage.h"

#include <algorithm>
#include <deque>

namespace kaptiv::monitor {

namespace {
// Standard time-outs of the commands (exchange units), as monitor/StatusRound.cpp uses them.
constexpr int kIdentifyTimeout = 10;
constexpr int kStatusTimeout = 100;
constexpr int kReadDataTimeout = 100;
constexpr int kParametersTimeout = 10;

enum class Phase { ControllerIdentify, ControllerList, ControllerStatus, Modules, Done };
enum class Field { Identify, Status, ReadData, Parameters };
struct PendingAsk {
    uint8_t command;
    int timeout;
    Field field;
};
} // namespace

struct SteppedRound::State {
    link::CXmit& xmit;
    platform::Clock& clock;
    int64_t deadline;
    Phase phase = Phase::ControllerIdentify;
    ModuleAnswers controller;
    std::optional<Bytes> list;
    size_t current = 0; // index in the answers' modules
    std::deque<PendingAsk> pending;

    State(link::CXmit& x, platform::Clock& c, int64_t end) : xmit(x), clock(c), deadline(end) {}

    std::optional<Bytes> Ask(RoundAnswers& out, uint8_t address, uint8_t command, int standardTimeout) {
        std::optional<Bytes> answer =
            AskWithinDeadline(xmit, clock, deadline, out, address, command, standardTimeout);
        if (out.failure == RoundFailure::OutOfTime)
            phase = Phase::Done;
        return answer;
    }
};

SteppedRound::SteppedRound(link::CXmit& xmit, platform::Clock& clock, const RoundLimits& limits)
    : m_state(std::make_unique<State>(xmit, clock, clock.NowMs() + limits.budgetMs)) {
    m_state->controller.address = link::kControllerAddress;
    m_state->controller.listedType = type::kPowerSupply;
    m_state->controller.asked = true;
}

SteppedRound::~SteppedRound() = default;

bool SteppedRound::Done() const {
    return m_state->phase == Phase::Done;
}

bool SteppedRound::Step() {
    State& s = *m_state;
    switch (s.phase) {
    case Phase::Done:
        return false;
    case Phase::ControllerIdentify:
        s.controller.identify = s.Ask(m_out, s.controller.address, link::cmd::kIdentify, kIdentifyTimeout);
        if (!s.controller.identify) {
            if (m_out.failure != RoundFailure::OutOfTime)
                m_out.failure = RoundFailure::NoController;
            m_out.modules.push_back(s.controller);
            s.phase = Phase::Done;
        } else {
            s.phase = Phase::ControllerList;
        }
        return true;
    case Phase::ControllerList:
        s.list = s.Ask(m_out, link::kControllerAddress, link::cmd::kReadData, kReadDataTimeout);
        if (s.phase != Phase::Done)
            s.phase = Phase::ControllerStatus;
        else
            m_out.modules.push_back(s.controller);
        return true;
    case Phase::ControllerStatus: {
        s.controller.status = s.Ask(m_out, s.controller.address, link::cmd::kReadStatus, kStatusTimeout);
        m_out.modules.push_back(s.controller);
        if (s.phase == Phase::Done)
            return true;
        s.phase = Phase::Done;
        if (!s.list) {
            m_out.failure = RoundFailure::NoModuleList;
            return true;
        }
        const auto entries = rack::ParseModuleList(*s.list);
        if (!entries) {
            m_out.failure = RoundFailure::TooManyModules;
            return true;
        }
        int slot = 1;
        for (const rack::ModuleListEntry& entry : *entries) {
            ModuleAnswers module;
            module.slot = slot++;
            module.address = entry.address;
            module.listedType = entry.type;
            m_out.modules.push_back(std::move(module));
        }
        if (m_out.modules.size() > 1) {
            s.phase = Phase::Modules;
            s.current = 1;
            s.pending = {{link::cmd::kIdentify, kIdentifyTimeout, Field::Identify}};
        }
        return true;
    }
    case Phase::Modules: {
        ModuleAnswers& module = m_out.modules[s.current];
        const PendingAsk ask = s.pending.front();
        s.pending.pop_front();
        std::optional<Bytes> answer = s.Ask(m_out, module.address, ask.command, ask.timeout);
        if (s.phase == Phase::Done)
            return true;
        switch (ask.field) {
        case Field::Identify:
            module.identify = std::move(answer);
            // Silent through its whole time-out (the round did not run out of time): missing.
            module.asked = module.identify.has_value() || m_out.failure != RoundFailure::OutOfTime;
            if (module.identify) {
                const uint8_t t =
                    module.identify->size() >= 2 && (*module.identify)[0] == link::CXmit::kIdentifyMark
                        ? (*module.identify)[1]
                        : module.listedType;
                s.pending.push_back({link::cmd::kReadStatus, kStatusTimeout, Field::Status});
                if (IsOutputType(t) && module.address != link::kControllerAddress)
                    s.pending.push_back({link::cmd::kReadData, kReadDataTimeout, Field::ReadData});
                if (t == type::kIpStreamer)
                    s.pending.push_back({link::cmd::kReadParameters, kParametersTimeout, Field::Parameters});
            }
            break;
        case Field::Status:
            module.status = std::move(answer);
            break;
        case Field::ReadData:
            module.readData = std::move(answer);
            break;
        case Field::Parameters:
            module.parameters = std::move(answer);
            break;
        }
        if (s.pending.empty()) {
            if (++s.current >= m_out.modules.size())
                s.phase = Phase::Done;
            else
                s.pending = {{link::cmd::kIdentify, kIdentifyTimeout, Field::Identify}};
        }
        return true;
    }
    }
    return false;
}

HealthRounds::HealthRounds(link::CXmit& xmit, platform::Clock& clock, HealthSchedule schedule)
    : m_xmit(xmit), m_clock(clock), m_schedule(schedule) {}

HealthRounds::~HealthRounds() = default;

void HealthRounds::SetWatching(bool on) {
    m_watching = on;
    if (!on)
        DropRound();
}

void HealthRounds::Begin(RackWork work) {
    const auto i = static_cast<size_t>(work);
    if (i < m_work.size())
        ++m_work[i];
    DropRound();
}

void HealthRounds::End(RackWork work) {
    const auto i = static_cast<size_t>(work);
    if (i < m_work.size() && m_work[i] > 0)
        --m_work[i];
}

bool HealthRounds::Paused() const {
    return std::any_of(m_work.begin(), m_work.end(), [](int n) { return n > 0; });
}

void HealthRounds::StartOver() {
    DropRound();
    m_history.Clear();
    m_log.Clear();
    m_last = {};
    m_lastRoundStartMs.reset();
}

void HealthRounds::DropRound() {
    if (m_round) {
        m_round.reset();
        ++m_dropped;
    }
}

int64_t HealthRounds::NextTickAtMs() const {
    if (m_round || !m_lastRoundStartMs)
        return m_clock.NowMs();
    return *m_lastRoundStartMs + m_schedule.roundPeriodMs;
}

bool HealthRounds::Tick() {
    if (!m_watching || Paused())
        return false;
    const int64_t now = m_clock.NowMs();
    if (!m_round) {
        if (m_lastRoundStartMs && now < *m_lastRoundStartMs + m_schedule.roundPeriodMs)
            return false;
        m_round = std::make_unique<SteppedRound>(m_xmit, m_clock, RoundLimits{m_schedule.roundBudgetMs});
        m_lastRoundStartMs = now;
    }
    const int before = m_round->Answers().exchanges;
    m_round->Step();
    m_exchanges += m_round->Answers().exchanges - before;
    if (!m_round->Done())
        return false;
    m_last = DecodeRound(m_round->Answers());
    m_round.reset();
    ++m_rounds;
    m_history.Record(*m_lastRoundStartMs, m_last);
    m_log.Update(m_last, EvaluateAlarms(m_last, m_schedule.thresholds), m_clock.LocalTime());
    return true;
}

} // namespace kaptiv::monitor
