#pragma once
// The frame on the rack's serial bus:
//   0x02, destination, source, control, [length], data..., checksum
// control = command (high nibble) | length form (low nibble): n <= 3 is carried in the
// low two bits; 4..255 as form 0x04 plus one length byte; 256 and more as form 0x08 plus
// two length bytes (high, low). From the control byte on, every 0x02 is sent twice. The
// checksum is the XOR of the unstuffed control, length and data bytes.
#include <array>
#include <cstddef>
#include <cstdint>

namespace kaptiv::link {

constexpr uint8_t kStartByte = 0x02;
constexpr uint8_t kPcAddress = 0xFD;
constexpr uint8_t kBroadcastAddress = 0xFF;
constexpr uint8_t kControllerAddress = 0x00;
constexpr uint8_t kAnswerPositive = 0xF0;
constexpr uint8_t kAnswerNegative = 0xE0;
constexpr uint8_t kLengthFormOneByte = 0x04;
constexpr uint8_t kLengthFormTwoBytes = 0x08;
constexpr size_t kAreaSize = 8192; // transmit and answer areas
constexpr size_t kMaxFrameData = 65535;

// Builds a stuffed request frame into a fixed area. Refuses (returns false) a frame that
// would not fit, instead of writing past the area.
class FrameBuilder {
public:
    bool Build(uint8_t destination, uint8_t command, const uint8_t* data, size_t length);
    const uint8_t* Bytes() const { return m_area.data(); }
    size_t Size() const { return m_size; }

private:
    bool Append(uint8_t b);
    bool AppendRaw(uint8_t b);

    std::array<uint8_t, kAreaSize> m_area{};
    size_t m_size = 0;
    uint8_t m_checksum = 0;
};

// The receiver of an answer frame, fed one byte at a time (it resumes wherever the bytes
// stop). Frames not addressed to the PC (0xFD) or to all (0xFF), and frames whose control
// byte is neither a positive (0xF0) nor a negative (0xE0) answer, are ignored until the
// next start byte. A 0x02 followed by anything but a second 0x02 starts a new frame.
// When told which module was asked, frames from any other source are ignored as well.
class AnswerParser {
public:
    enum class Outcome {
        Pending,     // need more bytes
        Positive,    // complete positive answer with a good checksum
        Negative,    // complete negative answer (read to its end)
        BadChecksum, // complete positive answer whose checksum is wrong
    };

    void Reset();
    // As Reset, and from now on only frames whose source is expectedSource are answers;
    // a frame from any other module is ignored until the next start byte.
    void Reset(uint8_t expectedSource);
    Outcome Feed(uint8_t byte);

    uint8_t Control() const { return m_control; } // high nibble of the answer control
    const uint8_t* Data() const { return m_data.data(); }
    size_t Length() const { return m_length; }
    // An answer announced more data than the answer area holds; it was ignored.
    bool RefusedOversize() const { return m_refusedOversize; }
    // A frame for the PC has begun and is not complete yet.
    bool InFrame() const { return m_state != State::Idle || m_stuffPending; }

private:
    enum class State { Idle, Destination, Source, Control, LengthHigh, LengthLow, Data, Checksum };
    Outcome Handle(uint8_t b);

    State m_state = State::Idle;
    bool m_stuffPending = false;
    uint8_t m_check = 0;
    uint8_t m_control = 0;
    size_t m_length = 0;
    size_t m_index = 0;
    bool m_refusedOversize = false;
    int m_expectedSource = -1; // -1: any source
    std::array<uint8_t, kAreaSize> m_data{};
};

} // namespace kaptiv::link
