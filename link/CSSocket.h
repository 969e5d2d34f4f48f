#pragma once
// The TCP session with the rack's IP gateway. The gateway opens the session (type 0),
// reports whether it has a link to the rack (type 5), relays requests and answers (type 7)
// and keeps the connection alive (type 8). While the session is open and the rack link is
// up, every exchange travels as a type-7 message instead of a serial frame.
#include "link/GatewayMessage.h"
#include "link/LinkResult.h"
#include "link/Transport.h"
#include "platform/EventLoop.h"
#include "platform/TcpSocket.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kaptiv::link {

class CSSocket final : public GatewayTransport {
public:
    static constexpr int64_t kTcpTimeUnitMs = 100;
    // After a failed connection attempt. (An immediate retry would spin on a loopback
    // address where a refusal comes back at once.)
    static constexpr int64_t kReconnectDelayMs = 1000;
    static constexpr int kReconnectTimerId = 1;
    // Our answer to the gateway's opening message: the tool's name and version.
    static constexpr std::array<uint8_t, 8> kSessionAcceptPayload{'K', 'A', 'P', 'T', 'I', 'V', 10, 2};

    explicit CSSocket(platform::EventLoop& loop);
    virtual ~CSSocket();
    CSSocket(const CSSocket&) = delete;
    CSSocket& operator=(const CSSocket&) = delete;

    // Stores the address and port, then reconnects. The outcome arrives later.
    void ConnectTo(const std::string& address, uint16_t port);
    void Reconnect();
    // Sends the closing message when the session was open, then closes the socket.
    void Disconnect();
    bool SendMessage(uint8_t type, uint16_t id, std::span<const uint8_t> payload);

    // The TCP half of the exchange; timeout in units of 100 ms. Succeeds only for a
    // positive answer (control byte 0xF0..0xFF): a module's negative answer fails the
    // exchange exactly as it does on the serial line. Only a type-7 answer from the module
    // that was asked is taken; one from another address is ignored.
    Answer TcpExchange(const Request& request);
    // The same, copying the answer into the caller's fields once it has returned.
    LinkResult TcpExchange(size_t length, uint8_t address, uint8_t command, const uint8_t* data, int timeout,
                           uint8_t* answerControl, uint8_t* answerData, int* answerLength);

    // Transport
    Answer Exchange(const Request& request) override { return TcpExchange(request); }
    std::string_view Name() const override { return "gateway"; }
    // Every exchange through the gateway counts its data both ways plus 100 for the framing.
    long TrafficOf(const Request& request, const Answer& answer) const override {
        return static_cast<long>(request.data.size() + answer.length) + 100;
    }

    // Notifications. errorCode 1 marks a read made by TcpExchange itself, whose failure
    // is left to the exchange.
    void OnReceive(int errorCode);
    void OnConnect(int errorCode);
    void OnClose(int errorCode);

    bool IsSessionOpen() const { return m_sessionOpen; }
    int GatewayLinkState() const { return m_gatewayLinkState; }
    bool IsRackLinkUp() const override {
        return m_socket.Exists() && m_sessionOpen && m_gatewayLinkState != 0;
    }
    const std::string& ServerAddress() const { return m_serverAddress; }
    uint16_t ServerPort() const { return m_serverPort; }

    // Called when the gateway reports its rack link up. Never called from inside a
    // pending exchange: then it is posted to the event loop once the exchange returns.
    void SetDiscoveryStarter(std::function<void()> start) { m_startDiscovery = std::move(start); }

    // A session that is opened once and never again (a monitoring probe): after a refused
    // connection or a close by the gateway no new connection is made, and what ended the
    // attempt is kept.
    enum class SessionEnd { None, ConnectFailed, ClosedByGateway };
    void SetAutoReconnect(bool on) { m_autoReconnect = on; }
    SessionEnd LastSessionEnd() const { return m_lastEnd; }
    std::recursive_mutex& TcpLock() { return m_tcpLock; }

private:
    enum class ReadOutcome { Data, Nothing, Failed };
    ReadOutcome ReadAndDispatch();
    void Dispatch(const GatewayMessage& message);
    void StoreAnswer(std::span<const uint8_t> payload);
    void StartDiscovery();

    platform::EventLoop& m_loop;
    platform::TcpSocket m_socket;
    std::string m_serverAddress;
    uint16_t m_serverPort = 0;
    std::recursive_mutex m_tcpLock;

    // The answer value the pending exchange will return, filled by the type-7 message from
    // the module asked; null while no exchange waits.
    Answer* m_pending = nullptr;
    uint8_t m_pendingAddress = 0;
    GatewayReassembler m_reassembler;
    int m_gatewayLinkState = 0;
    bool m_sessionOpen = false;
    bool m_inExchange = false;
    bool m_discoveryDeferred = false;
    std::function<void()> m_startDiscovery;
    bool m_autoReconnect = true;
    SessionEnd m_lastEnd = SessionEnd::None;
    // Tasks posted to the loop check that the socket still exists when they run.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace kaptiv::link
