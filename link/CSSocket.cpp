#include "link/CSSocket.h"

#include "link/Frame.h"

#include <algorithm>
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
    m_reassembler.Discard(); // a new connection starts on a message boundary
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
    m_lastEnd = SessionEnd::ConnectFailed;
    if (!m_autoReconnect) {
        m_socket.Close();
        return;
    }
    m_loop.SetTimer(this, kReconnectTimerId, kReconnectDelayMs, [this] { Reconnect(); });
}

void CSSocket::OnClose(int) {
    m_sessionOpen = false;
    m_gatewayLinkState = 0;
    m_lastEnd = SessionEnd::ClosedByGateway;
    if (!m_autoReconnect) {
        Disconnect();
        return;
    }
    Reconnect();
}

void CSSocket::OnReceive(int errorCode) {
    if (ReadAndDispatch() == ReadOutcome::Failed && errorCode != 1) {
        m_sessionOpen = false;
        m_socket.Close();
        m_lastEnd = SessionEnd::ClosedByGateway;
        if (m_autoReconnect)
            Reconnect();
        else
            Disconnect();
    }
}

CSSocket::ReadOutcome CSSocket::ReadAndDispatch() {
    // Each read has a buffer of its own: a handler may start a scan whose requests read the
    // socket again, and the messages of this read must stay intact meanwhile.
    std::array<uint8_t, kGatewayReceiveSize> buffer;
    const long n = m_socket.Receive(buffer.data(), buffer.size());
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return ReadOutcome::Nothing;
    if (n <= 0)
        return ReadOutcome::Failed;
    m_reassembler.Feed({buffer.data(), static_cast<size_t>(n)},
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
    // Outside an exchange nobody waits for it. A payload too short to hold the three header
    // bytes, one longer than the answer area, or the answer of another module than the one
    // asked (a late or stray answer) is not the answer; the first that is stays.
    if (!answer || !m_pending || m_pending->arrived || answer->source != m_pendingAddress)
        return;
    m_pending->Store(answer->control, answer->data);
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

Answer CSSocket::TcpExchange(const Request& request) {
    std::lock_guard<std::recursive_mutex> lock(m_tcpLock);
    Answer answer;
    answer.result = LinkResult::Refused;
    const size_t length = request.data.size();
    if (length > 0xFFFF - 8)
        return answer;
    std::vector<uint8_t> inner;
    inner.reserve(length + 3);
    inner.push_back(request.address);
    inner.push_back(kPcAddress);
    inner.push_back(request.command);
    inner.insert(inner.end(), request.data.begin(), request.data.end());

    const int64_t start = m_loop.GetClock().NowMs();
    const uint8_t relay = static_cast<uint8_t>(GatewayType::Relay);
    if (!SendMessage(relay, 0, inner)) {
        answer.result = LinkResult::SendFailed;
        return answer;
    }
    if (request.address == kBroadcastAddress) {
        // The gateway's own bus segment is reached through address 0: send it a copy.
        inner[0] = kControllerAddress;
        SendMessage(relay, 0, inner);
        answer.result = LinkResult::Ok;
        return answer;
    }

    m_pending = &answer;
    m_pendingAddress = request.address;
    m_inExchange = true;
    const int64_t deadline =
        start + static_cast<int64_t>(request.timeout > 0 ? request.timeout : 0) * kTcpTimeUnitMs;
    bool broken = false;
    while (!answer.arrived && !broken) {
        const int64_t left = deadline - m_loop.GetClock().NowMs();
        if (left <= 0)
            break;
        if (!m_socket.WaitReadable(left)) {
            if (m_loop.GetClock().IsInterrupted())
                break; // the program is quitting: the wait ends as a time-out
            continue;
        }
        broken = ReadAndDispatch() == ReadOutcome::Failed;
    }
    m_inExchange = false;
    m_pending = nullptr;
    if (!answer.arrived) {
        // A message begun but not finished by the deadline was the awaited answer, cut short:
        // its rest must not be read as the start of the next message.
        m_reassembler.Discard();
    }

    if (broken) {
        // The gateway went away while we waited: reconnect once the exchange is over.
        m_sessionOpen = false;
        m_gatewayLinkState = 0;
        m_socket.Close();
        m_reassembler.Discard();
        m_lastEnd = SessionEnd::ClosedByGateway;
        if (m_autoReconnect)
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
    if (!answer.arrived)
        answer.result = LinkResult::Timeout;
    else
        answer.result = (answer.control & 0xF0) == kAnswerPositive ? LinkResult::Ok : LinkResult::Negative;
    return answer;
}

LinkResult CSSocket::TcpExchange(size_t length, uint8_t address, uint8_t command, const uint8_t* data,
                                 int timeout, uint8_t* answerControl, uint8_t* answerData,
                                 int* answerLength) {
    const Answer answer = TcpExchange(Request{address, command, {data, data ? length : 0}, timeout});
    if (answer.arrived) {
        *answerControl = answer.control;
        std::copy(answer.bytes.begin(), answer.bytes.begin() + static_cast<std::ptrdiff_t>(answer.length),
                  answerData);
        *answerLength = static_cast<int>(answer.length);
    }
    return answer.result;
}

} // namespace kaptiv::link
