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
    // A message from the gateway arrives whole in one send: once it has begun, a gap this
    // long between its bytes means the rest is not coming (the message was cut).
    static constexpr int64_t kStallMs = 1000;
    // An answer that began before the exchange's deadline is read to its end while its
    // bytes keep coming, at most this long past the deadline.
    static constexpr int64_t kOverrunMs = 10000;
    // After an exchange that got nothing at all, its module may still answer late for this
    // long: an answer from it is then not taken as another module's answer gone astray.
    static constexpr int64_t kLateAnswerMs = 5000;
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
    // exchange exactly as it does on the serial line.
    //
    // Type-7 messages carry no sequence number, so an answer is matched to its request by
    // order and address:
    // - after an exchange that failed, whatever the gateway sent meanwhile is read and
    //   dropped before the next request goes out (a late answer is not the next one's);
    // - a message in progress is read to its end first, or dropped once its bytes stop
    //   for kStallMs (a cut message whose rest would otherwise be read as the next one);
    // - only an answer from the module asked is taken. One from another module ends the
    //   wait at once (the asked module's one answer went astray) unless that module may
    //   still owe a late answer, which is then dropped.
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
    // Before a request: reads and drops what came since a failed exchange, and finishes or
    // drops a message in progress. False when the connection broke.
    bool SettleInput();
    // A message has begun and its bytes still come.
    bool Receiving(int64_t nowMs) const;
    bool MayAnswerLate(uint8_t address, int64_t nowMs) const;
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
    bool m_pendingLost = false; // the asked module's answer came from another address
    int64_t m_lastByteMs = 0;
    bool m_settleFirst = false; // the last exchange failed: drop what came since
    // Modules whose last exchange got nothing, until when they may still answer late;
    // after a broadcast any module may (m_anyLateUntilMs).
    std::array<int64_t, 256> m_lateUntilMs{};
    int64_t m_anyLateUntilMs = 0;
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
