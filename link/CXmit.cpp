#include "link/CXmit.h"

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
    return m_serial != nullptr || IsGatewayLinkUp();
}

bool CXmit::CloseSerialPort() {
    if (!m_serial)
        return false;
    m_serial.reset();
    return true;
}

Transport* CXmit::ActiveTransport() {
    if (IsGatewayLinkUp())
        return m_gateway;
    return m_serial.get();
}

Answer CXmit::Unsent(LinkResult result) {
    Answer answer;
    answer.result = result;
    return answer;
}

Answer CXmit::Run(Transport& transport, const Request& request) {
    m_indicators->LightLamps(m_writeFlag);
    Answer answer = transport.Exchange(request);
    m_tcpTraffic += transport.TrafficOf(request, answer);
    return answer;
}

bool CXmit::Exchange(size_t length, uint8_t address, uint8_t command, const uint8_t* data, int timeout) {
    char notice[16];
    std::snprintf(notice, sizeof notice, "LME#%02X", address);

    const Request request{address, command, {data, data ? length : 0}, timeout};
    // A request that cannot be sent whole is refused before any transport sees it.
    const bool refused = length > kMaxFrameData || (length > 0 && !data);
    Transport* transport = refused ? nullptr : ActiveTransport();
    const Answer answer =
        transport ? Run(*transport, request) : Unsent(refused ? LinkResult::Refused : LinkResult::NoLink);
    m_lastResult = answer.result;
    m_answerLength = static_cast<int>(answer.length);
    if (answer.arrived) {
        m_answerControl = answer.control;
        std::memcpy(m_answerData.data(), answer.bytes.data(), answer.length);
    }
    // The one point where the request and its outcome are known together.
    if (m_observer)
        m_observer->OnExchange({address, command, request.data, answer.result, m_answerControl, answer.Data(),
                                transport ? transport == m_gateway : IsGatewayLinkUp()});

    // A request refused before anything was sent says nothing about the rack.
    const bool failed = answer.result != LinkResult::Ok;
    if (failed && answer.result != LinkResult::Refused && !m_linkLost) {
        m_linkLost = true;
        m_lostAddress = address;
        if (address != kControllerAddress)
            m_indicators->ShowLinkNotice(notice);
    }
    m_indicators->ArmLampTimers();
    m_writeFlag = false;
    return !failed;
}

bool CXmit::IdentifiesAsController() {
    return Exchange(0, kControllerAddress, kCmdIdentify, nullptr, kIdentifyTimeout) && m_answerLength >= 2 &&
           m_answerData[0] == kIdentifyMark && m_answerData[1] == 0;
}

bool CXmit::ConfirmLink() {
    if (!m_linkLost)
        return true;
    if (!IsLinkOpen())
        return false;
    std::lock_guard<std::recursive_mutex> lock(m_exchangeLock);
    for (int attempt = 0; attempt < kConfirmAttempts; ++attempt) {
        if (Exchange(0, m_lostAddress, kCmdIdentify, nullptr, kIdentifyTimeout)) {
            m_linkLost = false;
            return true;
        }
    }
    return false;
}

bool CXmit::OpenLink() {
    if (IsGatewayLinkUp()) {
        std::lock_guard<std::recursive_mutex> lock(m_exchangeLock);
        // Asked twice: one lost answer must not leave the tool without a rack until the
        // installer searches again.
        return IdentifiesAsController() || IdentifiesAsController();
    }
    CloseSerialPort();
    if (!m_opener)
        return false;
    m_opener->Refresh();
    const int start = m_portNumber;
    int n = start;
    do {
        if (auto port = m_opener->Open(n))
            m_serial = std::make_unique<SerialLineTransport>(m_clock, std::move(port));
        if (m_serial) {
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
