#include "platform/Clock.h"

#include <chrono>

namespace kaptiv::platform {

int64_t RealClock::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::tm RealClock::LocalTime() const {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

void Clock::SetInterrupted(bool interrupted) {
    {
        std::lock_guard<std::mutex> lock(m_interruptMutex);
        m_interrupted.store(interrupted, std::memory_order_release);
    }
    m_interruptChanged.notify_all();
}

void Clock::WaitUnlessInterrupted(int64_t ms) {
    if (ms <= 0)
        return;
    std::unique_lock<std::mutex> lock(m_interruptMutex);
    m_interruptChanged.wait_for(lock, std::chrono::milliseconds(ms), [this] { return IsInterrupted(); });
}

void RealClock::SleepMs(int64_t ms) {
    WaitUnlessInterrupted(ms);
}

std::tm ManualClock::LocalTime() const {
    std::tm wall = m_wall;
    std::time_t t = timegm(&wall) + (m_nowMs - m_wallSetAtMs) / 1000;
    std::tm out{};
    gmtime_r(&t, &out);
    return out;
}

} // namespace kaptiv::platform
