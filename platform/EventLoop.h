#pragma once
// The one message loop of the user-interface thread: timers keyed by (owner, id) with the
// semantics of window timers, file-descriptor watchers, posted tasks (the only thing other
// threads may touch), and nested runs for modal dialogs and blocking operations.
#include "platform/Clock.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kaptiv::platform {

class EventLoop {
public:
    using TimerOwner = const void*;
    using WatchId = int;

    explicit EventLoop(Clock& clock);
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    Clock& GetClock() const { return m_clock; }

    // A timer fires every periodMs until it is killed, like a window timer. Setting a timer
    // that is already set restarts it with the new period and handler.
    void SetTimer(TimerOwner owner, int id, int64_t periodMs, std::function<void()> handler);
    bool KillTimer(TimerOwner owner, int id);
    void KillTimers(TimerOwner owner); // a window that closes kills its timers
    bool IsTimerSet(TimerOwner owner, int id) const;
    std::optional<int64_t> TimerPeriod(TimerOwner owner, int id) const;
    // Milliseconds until the timer is next due, if it is set.
    std::optional<int64_t> TimerDueIn(TimerOwner owner, int id) const;

    // events are poll() events (POLLIN, POLLOUT); the handler receives the revents.
    WatchId WatchFd(int fd, short events, std::function<void(short)> handler);
    void ChangeWatch(WatchId id, short events);
    void UnwatchFd(WatchId id);

    // Thread-safe: queues a task for the loop's thread and wakes the loop.
    void Post(std::function<void()> task);

    // Called after every dispatched event (the repaint point of the user interface).
    void SetAfterDispatch(std::function<void()> hook) { m_afterDispatch = std::move(hook); }

    // One turn: run the posted tasks, wait for descriptors at most maxWaitMs (or until the
    // next timer), dispatch them, then fire the timers that are due. On a virtual clock the
    // wait does not block; when nothing was ready, time advances to the next timer or by
    // maxWaitMs, whichever comes first. Returns whether anything was dispatched.
    bool RunOnce(int64_t maxWaitMs);
    // Dispatch what is ready now, without waiting (explicit repaints of long operations).
    void PumpPending();
    // Run until Quit() or a quit request (the outermost loop of the program).
    void Run();
    void Quit() { m_quit = true; }
    // Run nested turns until done() holds (modal dialogs, blocking waits). False when a quit
    // request ended the wait instead.
    bool RunUntil(const std::function<bool()>& done);
    // Run for ms milliseconds of clock time (virtual or real), dispatching everything due;
    // a quit request ends it early.
    void RunFor(int64_t ms);

    // The program is to end (a termination signal). Thread-safe, and it stays set. From then
    // on every run of this loop returns at once, nested ones included, so that an open modal
    // dialog, message box or file dialog unwinds; every wait through the loop's clock ends
    // early (Clock::SetInterrupted); and long operations that ask QuitRequested() stop at
    // their next step. The outermost window then closes as if the installer had closed it.
    void RequestQuit();
    bool QuitRequested() const { return m_quitRequested.load(std::memory_order_acquire); }

    // Held on the loop's thread around a step that must not be cut short (the firmware of
    // one module): a quit request is still recorded, but the clock's waits are interrupted
    // only once no deferral is held any more. Deferrals nest.
    class QuitDeferral {
    public:
        explicit QuitDeferral(EventLoop& loop);
        ~QuitDeferral();
        QuitDeferral(const QuitDeferral&) = delete;
        QuitDeferral& operator=(const QuitDeferral&) = delete;

    private:
        EventLoop& m_loop;
    };
    bool IsQuitDeferred() const;

private:
    struct Timer {
        int64_t periodMs;
        int64_t dueMs;
        uint64_t generation;
        std::function<void()> handler;
    };
    struct Watch {
        int fd;
        short events;
        std::function<void(short)> handler;
    };
    using TimerKey = std::pair<TimerOwner, int>;

    bool RunPosted();
    bool FireDueTimers();
    std::optional<int64_t> NextTimerDue() const;
    void AfterDispatch();

    Clock& m_clock;
    std::map<TimerKey, Timer> m_timers;
    uint64_t m_timerGeneration = 0;
    std::map<WatchId, Watch> m_watches;
    WatchId m_nextWatch = 1;
    std::mutex m_postMutex;
    std::deque<std::function<void()>> m_posted;
    int m_wakeFd = -1;
    bool m_quit = false;
    std::atomic<bool> m_quitRequested{false};
    mutable std::mutex m_quitMutex; // the request and the deferral count together
    int m_quitDeferrals = 0;
    void UpdateClockInterrupt(); // with m_quitMutex held
    std::function<void()> m_afterDispatch;
};

} // namespace kaptiv::platform
