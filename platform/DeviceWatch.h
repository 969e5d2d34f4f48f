#pragma once
// Tells when serial devices come and go: an inotify watch on /dev for tty nodes, delivered
// through the event loop (the main window's device-change event: an adapter was plugged
// in or pulled out).
#include "platform/EventLoop.h"

#include <functional>
#include <string>

namespace kaptiv::platform {

class DeviceWatch {
public:
    // onChange runs on the loop's thread once per batch of changes.
    DeviceWatch(EventLoop& loop, std::function<void()> onChange, std::string folder = "/dev",
                std::string prefix = "tty");
    ~DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    bool IsWatching() const { return m_fd >= 0; }

private:
    void OnReadable();

    EventLoop& m_loop;
    std::function<void()> m_onChange;
    std::string m_prefix;
    int m_fd = -1;
    EventLoop::WatchId m_watch = 0;
};

} // namespace kaptiv::platform
