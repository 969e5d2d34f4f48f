#include "platform/DeviceWatch.h"

#include <cstring>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace kaptiv::platform {

DeviceWatch::DeviceWatch(EventLoop& loop, std::function<void()> onChange, std::string folder,
                         std::string prefix)
    : m_loop(loop), m_onChange(std::move(onChange)), m_prefix(std::move(prefix)) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    if (inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
        close(m_fd);
        m_fd = -1;
        return;
    }
    m_watch = m_loop.WatchFd(m_fd, POLLIN, [this](short) { OnReadable(); });
}

DeviceWatch::~DeviceWatch() {
    if (m_watch)
        m_loop.UnwatchFd(m_watch);
    if (m_fd >= 0)
        close(m_fd);
}

void DeviceWatch::OnReadable() {
    alignas(inotify_event) char buffer[4096];
    bool relevant = false;
    for (;;) {
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t pos = 0; pos + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
            const ssize_t size = static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (pos + size > n)
                break;
            if (event->len > 0 && std::strncmp(event->name, m_prefix.c_str(), m_prefix.size()) == 0)
                relevant = true;
            pos += size;
        }
    }
    if (relevant && m_onChange)
        m_onChange();
}

} // namespace kaptiv::platform
