#pragma once
// Time as the rest of the program sees it. Every wait in the tool goes through a Clock so
// that tests can run on virtual time: a ManualClock's SleepMs advances time instantly.
#include <cstdint>
#include <ctime>

namespace kaptiv::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds from an arbitrary origin.
    virtual int64_t NowMs() const = 0;
    // Local wall-clock time (schedules, report dates, log names).
    virtual std::tm LocalTime() const = 0;
    virtual void SleepMs(int64_t ms) = 0;
    // True when time only moves when somebody moves it (tests). Waiting code then polls
    // its descriptors without blocking and advances the clock to its deadline instead.
    virtual bool IsVirtual() const { return false; }
};

class RealClock final : public Clock {
public:
    int64_t NowMs() const override;
    std::tm LocalTime() const override;
    void SleepMs(int64_t ms) override;
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t startMs = 1'000'000) : m_nowMs(startMs), m_wallSetAtMs(startMs) {}
    int64_t NowMs() const override { return m_nowMs; }
    std::tm LocalTime() const override;
    void SleepMs(int64_t ms) override { Advance(ms); }
    bool IsVirtual() const override { return true; }

    void Advance(int64_t ms) {
        if (ms > 0)
            m_nowMs += ms;
    }
    void AdvanceTo(int64_t ms) {
        if (ms > m_nowMs)
            m_nowMs = ms;
    }
    // The wall time at the current instant; from here on it moves with the clock.
    void SetLocalTime(const std::tm& wall) {
        m_wall = wall;
        m_wallSetAtMs = m_nowMs;
    }

private:
    int64_t m_nowMs;
    std::tm m_wall{0, 0, 12, 1, 0, 126, 0, 0, 0, 0, nullptr}; // 2026-01-01 12:00:00
    int64_t m_wallSetAtMs;
};

} // namespace kaptiv::platform
