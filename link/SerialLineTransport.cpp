#include "link/SerialLineTransport.h"

#include "platform/Clock.h"

#include <algorithm>

namespace kaptiv::link {

SerialLineTransport::SerialLineTransport(platform::Clock& clock, std::unique_ptr<SerialTransport> port)
    : m_clock(clock), m_port(std::move(port)) {}

Answer SerialLineTransport::Exchange(const Request& request) {
    Answer answer;
    DrainInput();
    if (!m_transmit.Build(request.address, request.command, request.data.data(), request.data.size())) {
        answer.result = LinkResult::Refused;
        return answer;
    }
    const bool sent = SendFrame();
    if (request.address == kBroadcastAddress) {
        answer.result = sent ? LinkResult::Ok : LinkResult::SendFailed;
        return answer;
    }
    // A failed write abandons the rest of the frame; the answer is still awaited.
    ReceiveAnswer(request.address, request.timeout, answer);
    return answer;
}

void SerialLineTransport::DrainInput() {
    uint8_t scratch[256];
    while (m_port->Read(scratch, sizeof scratch, m_clock.NowMs()) > 0) {
    }
}

bool SerialLineTransport::SendFrame() {
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

void SerialLineTransport::ReceiveAnswer(uint8_t address, int timeout, Answer& answer) {
    const int64_t deadline = m_clock.NowMs() + static_cast<int64_t>(std::max(timeout, 0)) * kTimeUnitMs;
    // Only the addressed module's answer is taken: a frame from any other source is ignored
    // like one addressed elsewhere, so a late or stray answer is never read as this one.
    m_parser.Reset(address);
    uint8_t chunk[512];
    int64_t lastByteMs = m_clock.NowMs();
    for (;;) {
        // An answer that has begun is read to its end while its bytes keep coming.
        const int64_t until = m_parser.InFrame()
                                  ? std::min(std::max(deadline, lastByteMs + kStallMs), deadline + kOverrunMs)
                                  : deadline;
        const size_t n = m_port->Read(chunk, sizeof chunk, until);
        lastByteMs = m_clock.NowMs();
        if (n == 0) {
            answer.result = m_parser.RefusedOversize() ? LinkResult::AnswerTooLong : LinkResult::Timeout;
            return;
        }
        for (size_t i = 0; i < n; ++i) {
            const AnswerParser::Outcome outcome = m_parser.Feed(chunk[i]);
            if (outcome == AnswerParser::Outcome::Pending)
                continue;
            answer.Store(m_parser.Control(), {m_parser.Data(), m_parser.Length()});
            switch (outcome) {
            case AnswerParser::Outcome::Positive:
                answer.result = LinkResult::Ok;
                return;
            case AnswerParser::Outcome::Negative:
                answer.result = LinkResult::Negative;
                return;
            default:
                answer.result = LinkResult::BadChecksum;
                return;
            }
        }
    }
}

} // namespace kaptiv::link
