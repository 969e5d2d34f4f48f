#pragma once
// Ctrl+C (SIGINT), kill (SIGTERM) and a closed terminal (SIGHUP) end the tool whatever is open:
// a modal dialog, a message box, a file dialog, a scan, a transfer or a report. The signals
// are blocked in every thread and read by a thread of this object's own, so that they are
// seen even while the user-interface thread is busy in a long operation. The first one
// requests the loop's quit at once (platform::EventLoop::RequestQuit: every nested loop
// returns, every wait through the clock ends early, long operations stop at their next
// step), and the handler then runs on the loop's thread as an ordinary event.
#include "platform/EventLoop.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kaptiv::app {

class ShutdownSignals {
public:
    // Blocks SIGINT, SIGTERM and SIGHUP in the calling thread. Call it before any other
    // thread starts (threads inherit the mask), so that no thread takes them the default way.
    static bool Block(std::string& error);

    // Watches the blocked signals; onSignal receives the signal number on the loop's thread
    // (only if the loop still turns after the quit request; the request itself does the work).
    ShutdownSignals(platform::EventLoop& loop, std::function<void(int)> onSignal);
    ~ShutdownSignals();
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    bool IsWatching() const { return m_watcher.joinable(); }

private:
    void Watch();

    platform::EventLoop& m_loop;
    std::function<void(int)> m_onSignal;
    int m_signalFd = -1;
    int m_stopFd = -1;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    std::thread m_watcher;
};

} // namespace kaptiv::app
