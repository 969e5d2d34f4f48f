#include "sim/Frame.h"

#include "sim/Protocol.h"

namespace mulvane {

uint8_t Frame::Command() const {
    return static_cast<uint8_t>(control & kCommandMask);
}

uint8_t ControlFor(uint8_t kind, size_t length) {
    const uint8_t high = static_cast<uint8_t>(kind & kCommandMask);
    if (length <= kShortLengthMask)
        return static_cast<uint8_t>(high | length);
    if (length <= 0xFF)
        return static_cast<uint8_t>(high | kLengthFormOneByte);
    return static_cast<uint8_t>(high | kLengthFormTwoBytes);
}

namespace {
struct Stuffer {
    std::vector<uint8_t>& out;
    uint8_t check = 0;
    void Put(uint8_t b) {
        check ^= b;
        out.push_back(b);
        if (b == kFrameStart)
            out.push_back(b);
    }
    void PutRaw(uint8_t b) {
        out.push_back(b);
        if (b == kFrameStart)
            out.push_back(b);
    }
};
} // namespace

std::optional<std::vector<uint8_t>> EncodeFrame(uint8_t destination, uint8_t source, uint8_t kind,
                                                std::span<const uint8_t> data, bool corruptChecksum) {
    if (data.size() > kMaxFrameData)
        return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(data.size() + data.size() / 8 + 8);
    out.push_back(kFrameStart);
    out.push_back(destination);
    out.push_back(source);
    Stuffer s{out};
    const uint8_t control = ControlFor(kind, data.size());
    s.Put(control);
    if (control & kLengthFormTwoBytes) {
        s.Put(static_cast<uint8_t>(data.size() >> 8));
        s.Put(static_cast<uint8_t>(data.size() & 0xFF));
    } else if (control & kLengthFormOneByte) {
        s.Put(static_cast<uint8_t>(data.size()));
    }
    for (uint8_t b : data)
        s.Put(b);
    const uint8_t checksum = static_cast<uint8_t>(s.check ^ (corruptChecksum ? 0x01 : 0x00));
    s.PutRaw(checksum);
    return out;
}

void FrameParser::Reset() {
    m_state = State::Idle;
    m_stuffPending = false;
    m_frame = Frame{};
    m_length = 0;
    m_check = 0;
}

void FrameParser::Begin() {
    m_frame = Frame{};
    m_length = 0;
    m_check = 0;
    m_stuffPending = false;
    m_state = State::Destination;
}

std::optional<Frame> FrameParser::Push(uint8_t byte) {
    switch (m_state) {
    case State::Idle:
        if (byte == kFrameStart)
            Begin();
        return std::nullopt;
    case State::Destination:
        m_frame.destination = byte; // addresses are never stuffed
        m_state = State::Source;
        return std::nullopt;
    case State::Source:
        m_frame.source = byte;
        m_state = State::Control;
        m_stuffPending = false;
        return std::nullopt;
    default:
        break;
    }
    // From the control byte on, 0x02 comes doubled; a lone 0x02 is a new start.
    if (m_stuffPending) {
        m_stuffPending = false;
        if (byte != kFrameStart) {
            Begin();
            return Push(byte);
        }
    } else if (byte == kFrameStart) {
        m_stuffPending = true;
        return std::nullopt;
    }
    return Take(byte);
}

std::optional<Frame> FrameParser::Take(uint8_t byte) {
    switch (m_state) {
    case State::Control:
        m_frame.control = byte;
        m_check = byte;
        m_length = byte & kShortLengthMask;
        if (byte & kLengthFormTwoBytes)
            m_state = State::LengthHigh;
        else if (byte & kLengthFormOneByte)
            m_state = State::LengthLow;
        else
            m_state = m_length == 0 ? State::Checksum : State::Data;
        break;
    case State::LengthHigh:
        m_check ^= byte;
        m_length += 256u * byte;
        m_state = State::LengthLow;
        break;
    case State::LengthLow:
        m_check ^= byte;
        m_length += byte;
        m_state = m_length == 0 ? State::Checksum : State::Data;
        break;
    case State::Data:
        m_check ^= byte;
        m_frame.data.push_back(byte);
        if (m_frame.data.size() == m_length)
            m_state = State::Checksum;
        break;
    case State::Checksum: {
        m_state = State::Idle;
        if ((m_check ^ byte) != 0) {
            m_lastDrop = Drop::BadChecksum;
            ++m_badChecksums;
            return std::nullopt;
        }
        m_lastDrop = Drop::None;
        Frame done = std::move(m_frame);
        m_frame = Frame{};
        return done;
    }
    default:
        break;
    }
    return std::nullopt;
}

} // namespace mulvane
