#include "platform/TcpSocket.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kaptiv::platform {

TcpSocket::TcpSocket(EventLoop& loop, Handlers handlers) : m_loop(loop), m_handlers(std::move(handlers)) {}

TcpSocket::~TcpSocket() {
    Close();
}

void TcpSocket::StopWatching() {
    if (m_watch) {
        m_loop.UnwatchFd(m_watch);
        m_watch = 0;
    }
}

void TcpSocket::Close() {
    StopWatching();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_connected = false;
    ++m_generation;
}

void TcpSocket::Connect(const std::string& host, uint16_t port) {
    Close();
    const uint64_t generation = m_generation;
    auto fail = [this, generation](int error) {
        m_loop.Post([this, generation, error] {
            if (generation == m_generation && m_handlers.onConnect)
                m_handlers.onConnect(error);
        });
    };
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        fail(EHOSTUNREACH);
        return;
    }
    m_fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        freeaddrinfo(found);
        fail(errno);
        return;
    }
    const int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const int rc = ::connect(m_fd, found->ai_addr, found->ai_addrlen);
    const int connectErrno = errno;
    freeaddrinfo(found);
    if (rc != 0 && connectErrno != EINPROGRESS) {
        ::close(m_fd);
        m_fd = -1;
        fail(connectErrno);
        return;
    }
    m_watch = m_loop.WatchFd(m_fd, POLLOUT, [this](short revents) { OnEvents(revents); });
}

void TcpSocket::OnEvents(short revents) {
    if (!m_connected) {
        int error = 0;
        socklen_t len = sizeof error;
        getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len);
        if (error != 0 || (revents & (POLLERR | POLLHUP | POLLNVAL))) {
            if (error == 0)
                error = ECONNREFUSED;
            Close();
            if (m_handlers.onConnect)
                m_handlers.onConnect(error);
            return;
        }
        m_connected = true;
        m_loop.ChangeWatch(m_watch, POLLIN);
        if (m_handlers.onConnect)
            m_handlers.onConnect(0);
        return;
    }
    if (revents & POLLIN) {
        // Peek whether the peer closed: a readable socket with no byte is the end.
        uint8_t probe;
        const ssize_t n = ::recv(m_fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            if (m_handlers.onReceive)
                m_handlers.onReceive(0);
            return;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        const int error = n == 0 ? 0 : errno;
        Close();
        if (m_handlers.onClose)
            m_handlers.onClose(error);
        return;
    }
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
        Close();
        if (m_handlers.onClose)
            m_handlers.onClose(ECONNRESET);
    }
}

long TcpSocket::Receive(uint8_t* out, size_t max) {
    if (m_fd < 0 || !m_connected)
        return -1;
    const ssize_t n = ::recv(m_fd, out, max, MSG_DONTWAIT);
    return static_cast<long>(n);
}

bool TcpSocket::Send(const uint8_t* data, size_t n, int64_t timeoutMs) {
    if (m_fd < 0 || !m_connected)
        return false;
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::send(m_fd, data + done, n - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(timeoutMs)) <= 0)
            return false;
    }
    return true;
}

bool TcpSocket::WaitReadable(int64_t timeoutMs) {
    if (m_fd < 0)
        return false;
    Clock& clock = m_loop.GetClock();
    pollfd p{m_fd, POLLIN, 0};
    if (clock.IsVirtual()) {
        const int ready = poll(&p, 1, 0);
        if (ready == 0)
            clock.SleepMs(timeoutMs);
        return ready > 0;
    }
    // In slices, so that a quit (Clock::IsInterrupted) cuts the wait short.
    const int64_t deadline = clock.NowMs() + std::max<int64_t>(timeoutMs, 0);
    for (;;) {
        if (clock.IsInterrupted())
            return false;
        const int64_t left = std::max<int64_t>(deadline - clock.NowMs(), 0);
        const int ready = poll(&p, 1, static_cast<int>(std::min(left, Clock::kInterruptSliceMs)));
        if (ready != 0 || left <= Clock::kInterruptSliceMs)
            return ready > 0;
    }
}

} // namespace kaptiv::platform
