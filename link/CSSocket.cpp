#include "link/CSSocket.h"

#include "link/Frame.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace kaptiv::link {

CSSocket::CSSocket(platform::EventLoop& loop)
    : m_loop(loop), m_socket(loop, platform::TcpSocket::Handlers{[this](int e) { OnConnect(e); },
                                                                 [this](int e) { OnReceive(e); },
                                                                 [this](int e) { OnClose(e); }}) {}

CSSocket::~CSSocket() {
    m_loop.KillTimers(this);
}

void CSSocket::ConnectTo(const std::string& address, uint16_t port) {
    m_serverAddress = address;
    m_serverPort = port;
    Reconnect();
}

void CSSocket::Reconnect() {
    m_loop.KillTimer(this, kReconnectTimerId);
    Disconnect();
    m_gatewayLinkState = 0;
    m_socket.Connect(m_serverAddress, m_serverPort);
}

void CSSocket::Disconnect() {
    if (m_sessionOpen) {
        SendMessage(static_cast<uint8_t>(GatewayType::Close), kCloseMessageId, {});
        m_sessionOpen = false;
    }
    m_socket.Close();
}

bool CSSocket::SendMessage(uint8_t type, uint16_t id, std::span<const uint8_t> payload) {
    auto message = EncodeGatewayMessage(type, id, payload);
    return message && m_socket.Send(message->data(), message->size());
}

void CSSocket::OnConnect(int errorCode) {
    if (errorCode == 0)
        return; // the gateway speaks first
    m_sessionOpen = false;
    m_gatewayLinkState = 0;
    m_loop.SetTimer(this, kReconnectTimerId, kReconnectDelayMs, [this] { Reconnect(); });
}

void CSSocket::OnClose(int) {
    m_sessionOpen = false;
    m_gatewayLinkState = 0;
    Reconnect();
}

void CSSocket::OnReceive(int errorCode) {
    if (ReadAndDispatch() == ReadOutcome::Failed && errorCode != 1) {
        m_sessionOpen = false;
        m_socket.Close();
        Reconnect();
    }
}

CSSocket::ReadOutcome CSSocket::ReadAndDispatch() {
    const long n = m_socket.Receive(m_receiveBuffer.data(), m_receiveBuffer.size());
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return ReadOutcome::Nothing;
    if (n <= 0)
        return ReadOutcome::Failed;
    WalkGatewayMessages({m_receiveBuffer.data(), static_cast<size_t>(n)},
                        [this](const GatewayMessage& m) { Dispatch(m); });
    return ReadOutcome::Data;
}

void CSSocket::Dispatch(const GatewayMessage& message) {
    switch (static_cast<GatewayType>(message.type)) {
    case GatewayType::Opening:
        SendMessage(static_cast<uint8_t>(GatewayType::SessionAccept), message.id, kSessionAcceptPayload);
        m_sessionOpen = true;
        break;
    case GatewayType::LinkState:
        if (message.payload.empty())
            break;
        m_gatewayLinkState = message.payload[0];
        if (m_gatewayLinkState != 0)
            StartDiscovery();
        break;
    case GatewayType::Relay:
        StoreAnswer(message.payload);
        break;
    case GatewayType::KeepAlive:
        SendMessage(static_cast<uint8_t>(GatewayType::KeepAlive), message.id, {});
        break;
    default:
        break; // 1, 2, 3, 4, 6 and anything above 8 are not for the PC
    }
}

void CSSocket::StoreAnswer(std::span<const uint8_t> payload) {
    auto answer = ParseRelayedAnswer(payload);
    // Outside an exchange nobody waits for it; a payload too short to hold the three
    // header bytes, or longer than the answer area, is not an answer.
    if (!answer || !m_answerData || answer->data.size() > kAreaSize)
        return;
    *m_answerControl = answer->control;
    if (!answer->data.empty())
        std::memcpy(m_answerData, answer->data.data(), answer->data.size());
    *m_answerLength = static_cast<int>(answer->data.size());
    m_answerArrived = true;
}

void CSSocket::StartDiscovery() {
    if (!m_startDiscovery)
        return;
    if (m_inExchange) {
        // The nested requests of a discovery would overwrite the answer the pending
        // request is waiting for: start it once the exchange has returned.
        m_discoveryDeferred = true;
        return;
    }
    m_startDiscovery();
}

LinkResult CSSocket::TcpExchange(size_t length, uint8_t address, uint8_t command, const uint8_t* data,
                                 int timeout, uint8_t* answerControl, uint8_t* answerData,
                                 int* answerLength) {
    std::lock_guard<std::recursive_mutex> lock(m_tcpLock);
    if (length > 0xFFFF - 8)
        return LinkResult::Refused;
    std::vector<uint8_t> inner;
    inner.reserve(length + 3);
    inner.push_back(address);
    inner.push_back(kPcAddress);
    inner.push_back(command);
    if (length > 0)
        inner.insert(inner.end(), data, data + length);

    m_answerArrived = false;
    const int64_t start = m_loop.GetClock().NowMs();
    const uint8_t relay = static_cast<uint8_t>(GatewayType::Relay);
    if (!SendMessage(relay, 0, inner))
        return LinkResult::SendFailed;
    if (address == kBroadcastAddress) {
        // The gateway's own bus segment is reached through address 0: send it a copy.
        inner[0] = kControllerAddress;
        SendMessage(relay, 0, inner);
        return LinkResult::Ok;
    }

    m_answerControl = answerControl;
    m_answerData = answerData;
    m_answerLength = answerLength;
    m_inExchange = true;
    const int64_t deadline = start + static_cast<int64_t>(timeout > 0 ? timeout : 0) * kTcpTimeUnitMs;
    bool broken = false;
    while (!m_answerArrived && !broken) {
        const int64_t left = deadline - m_loop.GetClock().NowMs();
        if (left <= 0)
            break;
        if (!m_socket.WaitReadable(left))
            continue;
        broken = ReadAndDispatch() == ReadOutcome::Failed;
    }
    m_inExchange = false;
    m_answerControl = nullptr;
    m_answerData = nullptr;
    m_answerLength = nullptr;

    if (broken) {
        // The gateway went away while we waited: reconnect once the exchange is over.
        m_sessionOpen = false;
        m_gatewayLinkState = 0;
        m_socket.Close();
        m_loop.Post([this, alive = std::weak_ptr<int>(m_alive)] {
            if (!alive.expired())
                Reconnect();
        });
    }
    if (m_discoveryDeferred) {
        m_discoveryDeferred = false;
        m_loop.Post([this, alive = std::weak_ptr<int>(m_alive)] {
            if (!alive.expired() && m_startDiscovery)
                m_startDiscovery();
        });
    }
    if (!m_answerArrived)
        return LinkResult::Timeout;
    return (*answerControl & 0xF0) == kAnswerPositive ? LinkResult::Ok : LinkResult::Negative;
}

} // namespace kaptiv::link
