#include "platform/EventLoop.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kaptiv::platform {

EventLoop::EventLoop(Clock& clock) : m_clock(clock) {
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

EventLoop::~EventLoop() {
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

void EventLoop::SetTimer(TimerOwner owner, int id, int64_t periodMs, std::function<void()> handler) {
    periodMs = std::max<int64_t>(periodMs, 0);
    m_timers[{owner, id}] =
        Timer{periodMs, m_clock.NowMs() + periodMs, ++m_timerGeneration, std::move(handler)};
}

bool EventLoop::KillTimer(TimerOwner owner, int id) {
    return m_timers.erase({owner, id}) > 0;
}

void EventLoop::KillTimers(TimerOwner owner) {
    std::erase_if(m_timers, [owner](const auto& entry) { return entry.first.first == owner; });
}

bool EventLoop::IsTimerSet(TimerOwner owner, int id) const {
    return m_timers.count({owner, id}) > 0;
}

std::optional<int64_t> EventLoop::TimerPeriod(TimerOwner owner, int id) const {
    auto it = m_timers.find({owner, id});
    if (it == m_timers.end())
        return std::nullopt;
    return it->second.periodMs;
}

std::optional<int64_t> EventLoop::TimerDueIn(TimerOwner owner, int id) const {
    auto it = m_timers.find({owner, id});
    if (it == m_timers.end())
        return std::nullopt;
    return std::max<int64_t>(0, it->second.dueMs - m_clock.NowMs());
}

EventLoop::WatchId EventLoop::WatchFd(int fd, short events, std::function<void(short)> handler) {
    const WatchId id = m_nextWatch++;
    m_watches[id] = Watch{fd, events, std::move(handler)};
    return id;
}

void EventLoop::ChangeWatch(WatchId id, short events) {
    auto it = m_watches.find(id);
    if (it != m_watches.end())
        it->second.events = events;
}

void EventLoop::UnwatchFd(WatchId id) {
    m_watches.erase(id);
}

void EventLoop::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(m_postMutex);
        m_posted.push_back(std::move(task));
    }
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_wakeFd, &one, sizeof one);
    }
}

void EventLoop::AfterDispatch() {
    if (m_afterDispatch)
        m_afterDispatch();
}

bool EventLoop::RunPosted() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(m_postMutex);
        batch.swap(m_posted);
    }
    for (auto& task : batch) {
        task();
        AfterDispatch();
    }
    return !batch.empty();
}

std::optional<int64_t> EventLoop::NextTimerDue() const {
    std::optional<int64_t> next;
    for (const auto& [key, timer] : m_timers)
        if (!next || timer.dueMs < *next)
            next = timer.dueMs;
    return next;
}

bool EventLoop::FireDueTimers() {
    const int64_t now = m_clock.NowMs();
    // Collect first: handlers may set, kill or re-enter the loop.
    std::vector<std::pair<TimerKey, uint64_t>> due;
    for (const auto& [key, timer] : m_timers)
        if (timer.dueMs <= now)
            due.emplace_back(key, timer.generation);
    std::sort(due.begin(), due.end(), [this](const auto& a, const auto& b) {
        return m_timers.at(a.first).dueMs < m_timers.at(b.first).dueMs;
    });
    bool fired = false;
    for (const auto& [key, generation] : due) {
        auto it = m_timers.find(key);
        if (it == m_timers.end() || it->second.generation != generation)
            continue; // killed or set again by an earlier handler
        it->second.dueMs = now + std::max<int64_t>(it->second.periodMs, 1);
        auto handler = it->second.handler; // the handler may kill its own timer
        handler();
        AfterDispatch();
        fired = true;
    }
    return fired;
}

bool EventLoop::RunOnce(int64_t maxWaitMs) {
    bool dispatched = RunPosted();

    int64_t waitMs = dispatched ? 0 : std::max<int64_t>(maxWaitMs, 0);
    if (auto next = NextTimerDue())
        waitMs = std::min(waitMs, std::max<int64_t>(*next - m_clock.NowMs(), 0));

    std::vector<pollfd> fds;
    std::vector<WatchId> ids;
    fds.push_back(pollfd{m_wakeFd, POLLIN, 0});
    ids.push_back(0);
    for (const auto& [id, watch] : m_watches) {
        fds.push_back(pollfd{watch.fd, watch.events, 0});
        ids.push_back(id);
    }
    const int pollTimeout = m_clock.IsVirtual() ? 0 : static_cast<int>(std::min<int64_t>(waitMs, 1 << 30));
    int ready = poll(fds.data(), fds.size(), pollTimeout);
    if (ready > 0) {
        if (fds[0].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = read(m_wakeFd, &count, sizeof count);
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            auto it = m_watches.find(ids[i]);
            if (it == m_watches.end())
                continue; // unwatched by an earlier handler
            auto handler = it->second.handler;
            handler(fds[i].revents);
            AfterDispatch();
            dispatched = true;
        }
        dispatched = RunPosted() || dispatched;
    }
    if (m_clock.IsVirtual() && !dispatched && waitMs > 0)
        m_clock.SleepMs(waitMs);
    return FireDueTimers() || dispatched;
}

void EventLoop::PumpPending() {
    RunOnce(0);
}

void EventLoop::Run() {
    m_quit = false;
    while (!m_quit && !QuitRequested())
        RunOnce(60'000);
    m_quit = false;
}

bool EventLoop::RunUntil(const std::function<bool()>& done) {
    for (;;) {
        if (done())
            return true;
        if (QuitRequested())
            return false;
        RunOnce(60'000);
    }
}

void EventLoop::RunFor(int64_t ms) {
    const int64_t end = m_clock.NowMs() + ms;
    for (int64_t now = m_clock.NowMs(); now < end && !QuitRequested(); now = m_clock.NowMs())
        RunOnce(end - now);
    // Whatever became due exactly at the end.
    if (!QuitRequested())
        RunOnce(0);
}

void EventLoop::RequestQuit() {
    {
        std::lock_guard<std::mutex> lock(m_quitMutex);
        m_quitRequested.store(true, std::memory_order_release);
        UpdateClockInterrupt();
    }
    Post([] {}); // wakes a loop waiting in poll()
}

void EventLoop::UpdateClockInterrupt() {
    m_clock.SetInterrupted(m_quitRequested.load(std::memory_order_acquire) && m_quitDeferrals == 0);
}

bool EventLoop::IsQuitDeferred() const {
    std::lock_guard<std::mutex> lock(m_quitMutex);
    return m_quitDeferrals > 0;
}

EventLoop::QuitDeferral::QuitDeferral(EventLoop& loop) : m_loop(loop) {
    std::lock_guard<std::mutex> lock(m_loop.m_quitMutex);
    ++m_loop.m_quitDeferrals;
    m_loop.UpdateClockInterrupt();
}

EventLoop::QuitDeferral::~QuitDeferral() {
    std::lock_guard<std::mutex> lock(m_loop.m_quitMutex);
    --m_loop.m_quitDeferrals;
    m_loop.UpdateClockInterrupt();
}

} // namespace kaptiv::platform
