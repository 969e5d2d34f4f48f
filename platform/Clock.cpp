#include "platform/Clock.h"

#include <chrono>
#include <thread>

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

void RealClock::SleepMs(int64_t ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::tm ManualClock::LocalTime() const {
    std::tm wall = m_wall;
    std::time_t t = timegm(&wall) + (m_nowMs - m_wallSetAtMs) / 1000;
    std::tm out{};
    gmtime_r(&t, &out);
    return out;
}

} // namespace kaptiv::platform
