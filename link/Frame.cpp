#include "link/Frame.h"

namespace kaptiv::link {

bool FrameBuilder::AppendRaw(uint8_t b) {
    if (m_size >= m_area.size())
        return false;
    m_area[m_size++] = b;
    return true;
}

bool FrameBuilder::Append(uint8_t b) {
    m_checksum ^= b;
    if (!AppendRaw(b))
        return false;
    return b != kStartByte || AppendRaw(b);
}

bool FrameBuilder::Build(uint8_t destination, uint8_t command, const uint8_t* data, size_t length) {
    m_size = 0;
    m_checksum = 0;
    if (length > kMaxFrameData || (length > 0 && !data))
        return false;
    bool ok = AppendRaw(kStartByte) && AppendRaw(destination) && AppendRaw(kPcAddress);
    const uint8_t cmd = command & 0xF0;
    if (length <= 3) {
        ok = ok && Append(static_cast<uint8_t>(cmd | length));
    } else if (length <= 255) {
        ok = ok && Append(cmd | kLengthFormOneByte) && Append(static_cast<uint8_t>(length));
    } else {
        ok = ok && Append(cmd | kLengthFormTwoBytes) && Append(static_cast<uint8_t>(length >> 8)) &&
             Append(static_cast<uint8_t>(length & 0xFF));
    }
    for (size_t i = 0; ok && i < length; ++i)
        ok = Append(data[i]);
    ok = ok && Append(m_checksum);
    if (!ok)
        m_size = 0;
    return ok;
}

void AnswerParser::Reset() {
    m_state = State::Idle;
    m_stuffPending = false;
    m_check = 0;
    m_control = 0;
    m_length = 0;
    m_index = 0;
    m_refusedOversize = false;
    m_expectedSource = -1;
}

void AnswerParser::Reset(uint8_t expectedSource) {
    Reset();
    m_expectedSource = expectedSource;
}

AnswerParser::Outcome AnswerParser::Feed(uint8_t byte) {
    if (m_stuffPending) {
        m_stuffPending = false;
        if (byte != kStartByte) {
            // A lone 0x02 was a start byte: a new frame begins with this byte.
            m_state = State::Destination;
        }
        // else: a doubled 0x02 is one data value 0x02 in the current state.
    } else if (byte == kStartByte) {
        m_stuffPending = true;
        return Outcome::Pending;
    }
    return Handle(byte);
}

AnswerParser::Outcome AnswerParser::Handle(uint8_t b) {
    m_check ^= b;
    switch (m_state) {
    case State::Idle:
        break;
    case State::Destination:
        m_state = (b == kPcAddress || b == kBroadcastAddress) ? State::Source : State::Idle;
        break;
    case State::Source:
        m_state = (m_expectedSource < 0 || b == m_expectedSource) ? State::Control : State::Idle;
        break;
    case State::Control: {
        const uint8_t kind = b & 0xF0;
        if (kind != kAnswerPositive && kind != kAnswerNegative) {
            m_state = State::Idle;
            break;
        }
        m_control = kind;
        m_check = b;
        m_index = 0;
        m_length = b & 0x03;
        if (b & kLengthFormTwoBytes)
            m_state = State::LengthHigh;
        else if (b & kLengthFormOneByte)
            m_state = State::LengthLow;
        else
            m_state = m_length == 0 ? State::Checksum : State::Data;
        break;
    }
    case State::LengthHigh:
        m_length += 256u * b;
        m_state = State::LengthLow;
        break;
    case State::LengthLow:
        m_length += b;
        if (m_length > m_data.size()) {
            // More than the answer area holds: ignore this frame rather than overrun.
            m_refusedOversize = true;
            m_state = State::Idle;
            break;
        }
        m_state = m_length == 0 ? State::Checksum : State::Data;
        break;
    case State::Data:
        m_data[m_index++] = b;
        if (m_index == m_length)
            m_state = State::Checksum;
        break;
    case State::Checksum:
        m_state = State::Idle;
        if (m_control != kAnswerPositive)
            return Outcome::Negative;
        return m_check == 0 ? Outcome::Positive : Outcome::BadChecksum;
    }
    return Outcome::Pending;
}

} // namespace kaptiv::link
