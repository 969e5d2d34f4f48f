#pragma once
// A non-blocking TCP client socket whose connect, receive and close notifications arrive
// through the event loop, on the loop's thread.
#include "platform/EventLoop.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kaptiv::platform {

class TcpSocket {
public:
    struct Handlers {
        std::function<void(int error)> onConnect; // 0 = connected, else errno
        std::function<void(int error)> onReceive; // data (or end of stream) is waiting
        std::function<void(int error)> onClose;   // the peer closed or the connection broke
    };

    TcpSocket(EventLoop& loop, Handlers handlers);
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Starts connecting; the outcome arrives through onConnect. A host that cannot be
    // resolved or a socket that cannot be made report through onConnect too (posted).
    void Connect(const std::string& host, uint16_t port);
    void Close();
    bool Exists() const { return m_fd >= 0; }
    bool IsConnected() const { return m_connected; }
    int Fd() const { return m_fd; }

    // One receive call without blocking: >0 bytes, 0 end of stream, -1 nothing now (errno
    // EAGAIN) or an error.
    long Receive(uint8_t* out, size_t max);
    // Sends all bytes; a full socket buffer is waited for (poll, at most timeoutMs).
    bool Send(const uint8_t* data, size_t n, int64_t timeoutMs = 2000);
    // Waits until data can be read or timeoutMs passes. On a virtual clock it does not
    // block. Returns true when readable.
    bool WaitReadable(int64_t timeoutMs);

private:
    void OnEvents(short revents);
    void StopWatching();

    EventLoop& m_loop;
    Handlers m_handlers;
    int m_fd = -1;
    bool m_connected = false;
    EventLoop::WatchId m_watch = 0;
    // Posted notifications must not reach a socket that was closed or reused meanwhile.
    uint64_t m_generation = 0;
};

} // namespace kaptiv::platform
