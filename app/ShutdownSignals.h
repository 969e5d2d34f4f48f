#pragma once
// Ctrl+C, kill and a closed terminal end the tool the way closing the main window does, so
// that the gateway session is closed properly on the way out. The signals are blocked in
// every thread and read on the user-interface thread through a signalfd watched by the
// event loop: the handler runs as an ordinary event, never inside a signal handler.
#include "platform/EventLoop.h"

#include <functional>
#include <string>

namespace kaptiv::app {

class ShutdownSignals {
public:
    // Blocks SIGINT, SIGTERM and SIGHUP in the calling thread. Call it before any other
    // thread starts (threads inherit the mask), so that no thread takes them the default way.
    static bool Block(std::string& error);

    // Watches the blocked signals; onSignal receives the signal number.
    ShutdownSignals(platform::EventLoop& loop, std::function<void(int)> onSignal);
    ~ShutdownSignals();
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    bool IsWatching() const { return m_fd >= 0; }

private:
    void Drain();

    platform::EventLoop& m_loop;
    std::function<void(int)> m_onSignal;
    int m_fd = -1;
    platform::EventLoop::WatchId m_watch = -1;
};

} // namespace kaptiv::app
