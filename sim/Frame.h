#pragma once
// Frames of the rack bus seen from the modules' side: the encoder that builds answer (and,
// for tests, request) frames, and the resumable parser that reads the PC's requests byte by
// byte off the line.
//
// On the line: 02, destination, source, control, length bytes, data, checksum. The checksum
// is the XOR of control, length bytes and data. From the control byte on every 0x02 is sent
// twice; the start byte and the two addresses go out as they are.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace mulvane {

struct Frame {
    uint8_t destination = 0;
    uint8_t source = 0;
    uint8_t control = 0; // as received: command or answer kind in the high nibble, length form low
    std::vector<uint8_t> data;

    uint8_t Command() const;
};

// Control byte for a command or answer kind and a data length (the length form of the low
// nibble). Lengths over 65535 do not fit a frame; callers refuse them first.
uint8_t ControlFor(uint8_t kind, size_t length);

// The frame as it goes on the line, stuffed. corruptChecksum flips the checksum's low bit
// (fault injection). Returns nothing when data is longer than 65535 bytes.
std::optional<std::vector<uint8_t>> EncodeFrame(uint8_t destination, uint8_t source, uint8_t kind,
                                                std::span<const uint8_t> data, bool corruptChecksum = false);

// Reads frames from the bytes the PC puts on the line. Push one byte at a time; a complete
// frame with a good checksum comes back from Push. A 0x02 followed by anything but a second
// 0x02 inside a frame starts a new frame there (the byte after it is the destination).
class FrameParser {
public:
    enum class Drop { None, BadChecksum };

    std::optional<Frame> Push(uint8_t byte);
    // What happened to the last frame that ended without being returned.
    Drop LastDrop() const { return m_lastDrop; }
    size_t BadChecksums() const { return m_badChecksums; }
    void Reset();

private:
    enum class State { Idle, Destination, Source, Control, LengthHigh, LengthLow, Data, Checksum };
    std::optional<Frame> Take(uint8_t byte);
    void Begin();

    State m_state = State::Idle;
    bool m_stuffPending = false;
    Frame m_frame;
    size_t m_length = 0;
    uint8_t m_check = 0;
    Drop m_lastDrop = Drop::None;
    size_t m_badChecksums = 0;
};

} // namespace mulvane
