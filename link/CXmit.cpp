#include "link/CXmit.h"

#include "link/CSSocket.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kaptiv::link {

const char* ToText(LinkResult result) {
    switch (result) {
    case LinkResult::Ok:
        return "positive answer";
    case LinkResult::NoLink:
        return "no link to the rack";
    case LinkResult::Timeout:
        return "no answer in time";
    case LinkResult::Negative:
        return "negative answer";
    case LinkResult::BadChecksum:
        return "answer with a bad checksum";
    case LinkResult::AnswerTooLong:
        return "answer longer than the answer area";
    case LinkResult::Refused:
        return "request too large to send";
    case LinkResult::SendFailed:
        return "request could not be written";
    }
    return "unknown";
}

CXmit::CXmit(platform::Clock& clock) : m_clock(clock) {}

CXmit::~CXmit() {
    CloseSerialPort();
}

void CXmit::SetPortOpener(std::unique_ptr<SerialPortOpener> opener) {
    m_opener = std::move(opener);
}

bool CXmit::IsGatewayLinkUp() const {
    return m_gateway && m_gateway->IsRackLinkUp();
}

bool CXmit::IsLinkOpen() const {
    return m_port != nullptr || IsGatewayLinkUp();
}

bool CXmit::CloseSerialPort() {
    if (!m_port)
        return false;
    m_port.reset();
    return true;
}

bool CXmit::Exchange(size_t length, uint8_t address, uint8_t command, const uint8_t* data, int timeout) {
    char notice[16];
    std::snprintf(notice, sizeof notice, "LME#%02X", address);

    LinkResult result;
    if (length > kMaxFrameData) {
        result = LinkResult::Refused;
    } else if (IsGatewayLinkUp()) {
        m_indicators->LightLamps(m_writeFlag);
        m_answerLength = 0;
        result = m_gateway->TcpExchange(length, address, command, data, timeout, &m_answerControl,
                                        m_answerData.data(), &m_answerLength);
        m_tcpTraffic += static_cast<long>(length) + m_answerLength + 100;
    } else if (m_port) {
        m_indicators->LightLamps(m_writeFlag);
        result = SerialExchange(length, address, command, data, timeout);
    } else {
        result = LinkResult::NoLink;
    }
    m_lastResult = result;
    if (m_observer)
        m_observer->OnExchange({address,
                                command,
                                {data, data ? length : 0},
                                result,
                                m_answerControl,
                                {m_answerData.data(), static_cast<size_t>(std::max(m_answerLength, 0))},
                                IsGatewayLinkUp()});

    // A request refused before anything was sent says nothing about the rack.
    const bool failed = result != LinkResult::Ok;
    if (failed && result != LinkResult::Refused && !m_linkLost) {
        m_linkLost = true;
        if (address != kControllerAddress)
            m_indicators->ShowLinkNotice(notice);
    }
    m_indicators->ArmLampTimers();
    m_writeFlag = false;
    return !failed;
}

LinkResult CXmit::SerialExchange(size_t length, uint8_t address, uint8_t command, const uint8_t* data,
                                 int timeout) {
    DrainInput();
    m_answerLength = 0;
    if (!m_transmit.Build(address, command, data, length))
        return LinkResult::Refused;
    const bool sent = SendFrame();
    if (address == kBroadcastAddress)
        return sent ? LinkResult::Ok : LinkResult::SendFailed;
    // A failed write abandons the rest of the frame; the answer is still awaited.
    return ReceiveAnswer(timeout);
}

void CXmit::DrainInput() {
    uint8_t scratch[256];
    while (m_port && m_port->Read(scratch, sizeof scratch, m_clock.NowMs()) > 0) {
    }
}

bool CXmit::SendFrame() {
    const uint8_t* bytes = m_transmit.Bytes();
    const size_t size = m_transmit.Size();
    uint8_t echo[kPieceSize];
    for (size_t offset = 0; offset < size; offset += kPieceSize) {
        const size_t piece = std::min(kPieceSize, size - offset);
        if (!m_port->Write(bytes + offset, piece))
            return false;
        // The bus returns our own bytes: read them off the line before the answer.
        const int64_t echoDeadline = m_clock.NowMs() + kEchoWaitMs;
        size_t echoed = 0;
        while (echoed < piece) {
            const size_t n = m_port->Read(echo, piece - echoed, echoDeadline);
            if (n == 0)
                break;
            echoed += n;
        }
    }
    return true;
}

LinkResult CXmit::ReceiveAnswer(int timeout) {
    const int64_t deadline = m_clock.NowMs() + static_cast<int64_t>(std::max(timeout, 0)) * kSerialTimeUnitMs;
    m_parser.Reset();
    uint8_t chunk[512];
    for (;;) {
        const size_t n = m_port->Read(chunk, sizeof chunk, deadline);
        if (n == 0)
            return m_parser.RefusedOversize() ? LinkResult::AnswerTooLong : LinkResult::Timeout;
        for (size_t i = 0; i < n; ++i) {
            const AnswerParser::Outcome outcome = m_parser.Feed(chunk[i]);
            if (outcome == AnswerParser::Outcome::Pending)
                continue;
            m_answerControl = m_parser.Control();
            m_answerLength = static_cast<int>(m_parser.Length());
            std::memcpy(m_answerData.data(), m_parser.Data(), m_parser.Length());
            switch (outcome) {
            case AnswerParser::Outcome::Positive:
                return LinkResult::Ok;
            case AnswerParser::Outcome::Negative:
                return LinkResult::Negative;
            default:
                return LinkResult::BadChecksum;
            }
        }
    }
}

bool CXmit::IdentifiesAsController() {
    return Exchange(0, kControllerAddress, kCmdIdentify, nullptr, kIdentifyTimeout) && m_answerLength >= 2 &&
           m_answerData[0] == kIdentifyMark && m_answerData[1] == 0;
}

bool CXmit::OpenLink() {
    if (IsGatewayLinkUp()) {
        std::lock_guard<std::recursive_mutex> lock(m_exchangeLock);
        return IdentifiesAsController();
    }
    CloseSerialPort();
    if (!m_opener)
        return false;
    m_opener->Refresh();
    const int start = m_portNumber;
    int n = start;
    do {
        m_port = m_opener->Open(n);
        if (m_port) {
            m_linkLost = false;
            bool found;
            {
                std::lock_guard<std::recursive_mutex> lock(m_exchangeLock);
                found = IdentifiesAsController();
            }
            if (found) {
                m_portNumber = n;
                m_linkLost = false;
                return true;
            }
            CloseSerialPort();
        }
        n = (n + 1) % 256;
    } while (n != start);
    return false;
}

} // namespace kaptiv::link
