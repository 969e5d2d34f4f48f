#include "sim/SerialLine.h"

#include "sim/Protocol.h"

#include <algorithm>

namespace mulvane {

namespace {
constexpr int64_t kUsPerMs = 1000;
constexpr int64_t kUsPerSecond = 1'000'000;
} // namespace

SerialLine::SerialLine(RackEngine* engine) : m_engine(engine) {}

void SerialLine::SetThrottled(bool on) {
    std::lock_guard lock(m_mutex);
    m_forceThrottle = on;
}

bool SerialLine::ThrottledLocked() const {
    return m_forceThrottle || (m_engine && m_engine->GetFaults().SerialThrottled());
}

size_t SerialLine::BadChecksums() const {
    std::lock_guard lock(m_mutex);
    return m_parser.BadChecksums();
}

int64_t SerialLine::Transmit(std::span<const uint8_t> bytes, int64_t startUs, int64_t gapUs) {
    // Output stays in line order: nothing overtakes what is already on the line.
    const int64_t from = std::max(startUs, m_lineFreeUs);
    const bool throttled = ThrottledLocked();
    int64_t readyUs = from;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (throttled) // byte i has gone through after (i + 1) byte times, rounded up
            readyUs = from + (static_cast<int64_t>(i + 1) * kUsPerSecond + kThrottledBytesPerSecond - 1) /
                                 kThrottledBytesPerSecond;
        readyUs = std::max(readyUs, from + static_cast<int64_t>(i) * gapUs);
        m_output.push_back({readyUs, bytes[i]});
    }
    m_lineFreeUs = std::max(m_lineFreeUs, readyUs);
    return readyUs;
}

void SerialLine::SerialWrite(std::span<const uint8_t> bytes, int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    const int64_t startUs = nowMs * kUsPerMs;
    const size_t firstIndex = m_output.size();
    Transmit(bytes, startUs);
    // Each byte reaches the modules when it has gone through the line: its echo time.
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int64_t arrivedUs = m_output[firstIndex + i].readyUs;
        std::optional<Frame> frame = m_parser.Push(bytes[i]);
        if (!frame || !m_engine)
            continue;
        // An answer kind in the control byte is another module's answer, not a request.
        if (frame->Command() == kAnswerPositive || frame->Command() == kAnswerNegative)
            continue;
        std::optional<Answer> answer =
            m_engine->Handle(frame->destination, frame->Command(), frame->data, arrivedUs / kUsPerMs);
        if (!answer)
            continue;
        auto encoded =
            EncodeFrame(kAddrPc, answer->source, answer->kind, answer->data, answer->corruptChecksum);
        if (!encoded)
            continue;
        if (answer->truncated)
            *encoded = TruncatedAnswer(*encoded);
        Transmit(*encoded, arrivedUs + answer->delayMs * kUsPerMs,
                 answer->byteByByte ? kByteGapMs * kUsPerMs : 0);
    }
}

size_t SerialLine::SerialRead(uint8_t* out, size_t max, int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    const int64_t nowUs = nowMs * kUsPerMs;
    size_t n = 0;
    while (n < max && !m_output.empty() && m_output.front().readyUs <= nowUs) {
        out[n++] = m_output.front().value;
        m_output.pop_front();
    }
    return n;
}

std::optional<int64_t> SerialLine::SerialNextOutputMs() const {
    std::lock_guard lock(m_mutex);
    if (m_output.empty())
        return std::nullopt;
    return (m_output.front().readyUs + kUsPerMs - 1) / kUsPerMs;
}

size_t SerialLine::Pending() const {
    std::lock_guard lock(m_mutex);
    return m_output.size();
}

} // namespace mulvane
