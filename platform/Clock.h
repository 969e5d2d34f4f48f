#pragma once
// Time as the rest of the program sees it. Every wait in the tool goes through a Clock so
// that tests can run on virtual time: a ManualClock's SleepMs advances time instantly.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>

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

    // While interrupted (the program is quitting), every wait through this clock ends at
    // once: SleepMs returns without waiting, and the descriptor waits of the serial port and
    // the TCP socket give up within kInterruptSliceMs. Thread-safe; the event loop sets it
    // when a quit is requested (EventLoop::RequestQuit).
    static constexpr int64_t kInterruptSliceMs = 100;
    void SetInterrupted(bool interrupted);
    bool IsInterrupted() const { return m_interrupted.load(std::memory_order_acquire); }

protected:
    // For SleepMs of a real clock: waits ms at most, less when interrupted meanwhile.
    void WaitUnlessInterrupted(int64_t ms);

private:
    std::atomic<bool> m_interrupted{false};
    std::mutex m_interruptMutex;
    std::condition_variable m_interruptChanged;
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
    // An interrupted wait takes no time.
    void SleepMs(int64_t ms) override {
        if (!IsInterrupted())
            Advance(ms);
    }
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
