#include "app/ShutdownSignals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace kaptiv::app {

namespace {

sigset_t ShutdownSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
}

} // namespace

bool ShutdownSignals::Block(std::string& error) {
    const sigset_t set = ShutdownSet();
    const int rc = ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    if (rc != 0)
        error = std::string("cannot block the shutdown signals: ") + std::strerror(rc);
    return rc == 0;
}

ShutdownSignals::ShutdownSignals(platform::EventLoop& loop, std::function<void(int)> onSignal)
    : m_loop(loop), m_onSignal(std::move(onSignal)) {
    const sigset_t set = ShutdownSet();
    m_signalFd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    m_stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_signalFd >= 0 && m_stopFd >= 0)
        m_watcher = std::thread([this] { Watch(); });
}

ShutdownSignals::~ShutdownSignals() {
    if (m_watcher.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
        m_watcher.join();
    }
    for (int fd : {m_signalFd, m_stopFd})
        if (fd >= 0)
            ::close(fd);
}

void ShutdownSignals::Watch() {
    for (;;) {
        pollfd fds[2] = {{m_signalFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        signalfd_siginfo info{};
        while (::read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            // The request first: it works even while the loop's thread is busy.
            m_loop.RequestQuit();
            m_loop.Post([onSignal = m_onSignal, alive = std::weak_ptr<int>(m_alive),
                         signal = static_cast<int>(info.ssi_signo)] {
                if (!alive.expired() && onSignal)
                    onSignal(signal);
            });
        }
    }
}

} // namespace kaptiv::app
