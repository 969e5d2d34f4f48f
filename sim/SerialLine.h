#pragma once
// The serial rack bus as the PC's port sees it, on explicit time: what the PC writes comes
// back at once as the bus echo (the PC hears its own bytes), and a module's answer follows
// after the module's answer delay. When the line is throttled to 115200 baud every byte,
// echo and answer alike, takes 1/11520 s, and the answer starts only after the request has
// gone through (the bus is half duplex).
//
// Tests on virtual time drive it directly; the pty server drives it with the real clock.
#include "sim/Engine.h"
#include "sim/Frame.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>

namespace mulvane {

class SerialLine {
public:
    // engine may be null: a bus with no rack on it (the echo still comes back).
    explicit SerialLine(RackEngine* engine);

    // The PC puts bytes on the line at nowMs.
    void SerialWrite(std::span<const uint8_t> bytes, int64_t nowMs);
    // Bytes the PC can read at nowMs (echo and answers, in line order); at most max.
    size_t SerialRead(uint8_t* out, size_t max, int64_t nowMs);
    // When the next byte becomes readable, if any is on its way.
    std::optional<int64_t> SerialNextOutputMs() const;
    // Bytes still on their way (readable now or later).
    size_t Pending() const;

    // Throttling also follows the engine's fault switch; this forces it on for this line.
    void SetThrottled(bool on);
    // Frames from the PC dropped for a bad checksum.
    size_t BadChecksums() const;

private:
    struct TimedByte {
        int64_t readyUs;
        uint8_t value;
    };
    bool ThrottledLocked() const;
    // Puts bytes on the line from startUs on, each at least gapUs after the one before;
    // returns when the last one has gone through.
    int64_t Transmit(std::span<const uint8_t> bytes, int64_t startUs, int64_t gapUs = 0);

    RackEngine* m_engine;
    mutable std::mutex m_mutex;
    FrameParser m_parser;
    std::deque<TimedByte> m_output;
    int64_t m_lineFreeUs = 0; // when the line has finished the last byte scheduled on it
    bool m_forceThrottle = false;
};

} // namespace mulvane
