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
    // A new connection starts on a message boundary, with no answer owed.
    m_reassembler.Discard();
    m_settleFirst = false;
    m_lateUntilMs.fill(0);
    m_anyLateUntilMs = 0;
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
    m_lastByteMs = m_loop.GetClock().NowMs();
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

bool CSSocket::MayAnswerLate(uint8_t address, int64_t nowMs) const {
    return nowMs < m_anyLateUntilMs || nowMs < m_lateUntilMs[address];
}

bool CSSocket::Receiving(int64_t nowMs) const {
    return m_reassembler.Held() > 0 && nowMs - m_lastByteMs < kStallMs;
}

void CSSocket::StoreAnswer(std::span<const uint8_t> payload) {
    auto answer = ParseRelayedAnswer(payload);
    // A payload too short to hold the three header bytes or not addressed to the PC is not
    // an answer.
    if (!answer || answer->destination != kPcAddress)
        return;
    const int64_t now = m_loop.GetClock().NowMs();
    const bool late = MayAnswerLate(answer->source, now);
    // Outside an exchange nobody waits for it; the first answer taken stays.
    if (!m_pending || m_pending->arrived || m_pendingLost) {
        if (late)
            m_lateUntilMs[answer->source] = 0; // the late answer has come and gone
        return;
    }
    if (answer->source != m_pendingAddress) {
        if (late)
            m_lateUntilMs[answer->source] = 0; // a late answer, dropped
        else
            m_pendingLost = true; // the asked module's one answer, from a wrong address
        return;
    }
    m_lateUntilMs[answer->source] = 0;
    // One longer than the answer area is not stored; the wait goes on to its end.
    m_pending->Store(answer->control, answer->data);
}

bool CSSocket::SettleInput() {
    if (!m_settleFirst && m_reassembler.Held() == 0)
        return true;
    m_settleFirst = false;
    platform::Clock& clock = m_loop.GetClock();
    const int64_t start = clock.NowMs();
    // No exchange waits (m_pending is null): every answer read here is dropped.
    for (;;) {
        const int64_t now = clock.NowMs();
        if (now - start >= kOverrunMs) {
            m_reassembler.Discard();
            return true;
        }
        if (m_socket.WaitReadable(0)) {
            if (ReadAndDispatch() == ReadOutcome::Failed)
                return false;
            continue;
        }
        if (m_reassembler.Held() == 0)
            return true;
        if (!Receiving(now)) {
            m_reassembler.Discard(); // its rest is not coming
            return true;
        }
        if (!m_socket.WaitReadable(m_lastByteMs + kStallMs - now) && clock.IsInterrupted())
            return true;
    }
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

    platform::Clock& clock = m_loop.GetClock();
    m_inExchange = true;
    bool broken = !SettleInput();
    const int64_t start = clock.NowMs();
    const uint8_t relay = static_cast<uint8_t>(GatewayType::Relay);
    bool sent = !broken && SendMessage(relay, 0, inner);
    if (sent && request.address == kBroadcastAddress) {
        // The gateway's own bus segment is reached through address 0: send it a copy. Any
        // answer that a module gives to a broadcast is not one to a later request.
        inner[0] = kControllerAddress;
        SendMessage(relay, 0, inner);
        m_anyLateUntilMs = start + kLateAnswerMs;
        m_settleFirst = true;
        m_inExchange = false;
        answer.result = LinkResult::Ok;
        return answer;
    }

    if (sent) {
        m_pending = &answer;
        m_pendingAddress = request.address;
        m_pendingLost = false;
        const int64_t deadline =
            start + static_cast<int64_t>(request.timeout > 0 ? request.timeout : 0) * kTcpTimeUnitMs;
        while (!answer.arrived && !m_pendingLost && !broken) {
            const int64_t now = clock.NowMs();
            if (m_reassembler.Held() > 0 && !Receiving(now)) {
                // A message cut short: its rest is not coming. The gateway sends relayed
                // answers only for requests, one at a time, so it was this request's answer
                // (no other will come) unless what was read of it shows otherwise: another
                // type, or the late answer of another module. A cut before its type or
                // source byte counts as this answer too.
                const auto held = m_reassembler.HeldBytes();
                const size_t sourceAt = kGatewayHeaderSize + 1;
                const bool otherType = held.size() > 4 && held[4] != relay;
                const bool lateOther = held.size() > sourceAt && held[sourceAt] != request.address &&
                                       MayAnswerLate(held[sourceAt], now);
                const bool ours = !otherType && !lateOther;
                m_reassembler.Discard();
                if (ours)
                    break;
                continue;
            }
            // An answer that has begun is read to its end while its bytes keep coming.
            int64_t end = deadline;
            int64_t wake = deadline;
            if (m_reassembler.Held() > 0) {
                end = std::min(std::max(deadline, m_lastByteMs + kStallMs), deadline + kOverrunMs);
                wake = std::min(end, m_lastByteMs + kStallMs);
            }
            if (now >= end)
                break;
            if (!m_socket.WaitReadable(wake - now)) {
                if (clock.IsInterrupted())
                    break; // the program is quitting: the wait ends as a time-out
                continue;
            }
            broken = ReadAndDispatch() == ReadOutcome::Failed;
        }
        m_pending = nullptr;
        if (!answer.arrived) {
            // What comes next may still belong to this request: it is read and dropped before
            // the next one goes out. A message still in progress stays held to be finished.
            m_settleFirst = true;
            if (!m_pendingLost && m_reassembler.Held() == 0)
                m_lateUntilMs[request.address] = clock.NowMs() + kLateAnswerMs;
        }
    }
    m_inExchange = false;

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
    if (!sent && !broken)
        answer.result = LinkResult::SendFailed;
    else if (!answer.arrived)
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
