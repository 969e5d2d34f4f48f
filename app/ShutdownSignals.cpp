#include "app/ShutdownSignals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
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
    m_fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd >= 0)
        m_watch = m_loop.WatchFd(m_fd, POLLIN, [this](short) { Drain(); });
}

ShutdownSignals::~ShutdownSignals() {
    if (m_fd >= 0) {
        m_loop.UnwatchFd(m_watch);
        ::close(m_fd);
    }
}

void ShutdownSignals::Drain() {
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (m_onSignal)
            m_onSignal(static_cast<int>(info.ssi_signo));
    }
}

} // namespace kaptiv::app
