#pragma once
// The gateway's side of a TCP connection, scripted by a test: listens on an ephemeral
// loopback port, accepts, sends and receives raw bytes with short real-time deadlines.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace kaptiv::test {

class LoopbackPeer {
public:
    LoopbackPeer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 4);
        socklen_t len = sizeof a;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~LoopbackPeer() {
        CloseClient();
        if (m_listen >= 0)
            ::close(m_listen);
    }
    uint16_t Port() const { return m_port; }

    // Accepts one connection if one arrives within timeoutMs.
    bool Accept(int timeoutMs = 2000) {
        pollfd p{m_listen, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return false;
        CloseClient();
        m_client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        return m_client >= 0;
    }
    bool HasPendingConnection(int timeoutMs) {
        pollfd p{m_listen, POLLIN, 0};
        return poll(&p, 1, timeoutMs) > 0;
    }
    void CloseClient() {
        if (m_client >= 0)
            ::close(m_client);
        m_client = -1;
    }
    bool Send(const std::vector<uint8_t>& bytes) {
        return ::send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // Reads exactly n bytes, or what came before timeoutMs.
    std::vector<uint8_t> Receive(size_t n, int timeoutMs = 2000) {
        std::vector<uint8_t> out;
        while (out.size() < n) {
            pollfd p{m_client, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                break;
            uint8_t buf[4096];
            const ssize_t r = ::recv(m_client, buf, std::min(sizeof buf, n - out.size()), 0);
            if (r <= 0)
                break;
            out.insert(out.end(), buf, buf + r);
        }
        return out;
    }
    // True when nothing arrives within timeoutMs.
    bool Quiet(int timeoutMs) {
        pollfd p{m_client, POLLIN, 0};
        return poll(&p, 1, timeoutMs) == 0;
    }

private:
    int m_listen = -1;
    int m_client = -1;
    uint16_t m_port = 0;
};

} // namespace kaptiv::test
