#pragma once
// The link's serial transport over the simulated rack's in-memory bus, on virtual time: a
// read that finds nothing jumps the clock to the next byte on its way, or to the deadline.
#include "link/SerialTransport.h"
#include "platform/Clock.h"
#include "sim/SerialLine.h"

#include <memory>

namespace kaptiv::test {

class SimSerial final : public link::SerialTransport {
public:
    SimSerial(platform::ManualClock& clock, mulvane::SerialLine& line) : m_clock(clock), m_line(line) {}
    bool Write(const uint8_t* data, size_t n) override {
        m_line.SerialWrite({data, n}, m_clock.NowMs());
        return true;
    }
    size_t Read(uint8_t* out, size_t max, int64_t deadlineMs) override {
        for (;;) {
            if (const size_t n = m_line.SerialRead(out, max, m_clock.NowMs()))
                return n;
            const auto next = m_line.SerialNextOutputMs();
            if (!next || *next > deadlineMs) {
                m_clock.AdvanceTo(deadlineMs);
                return 0;
            }
            m_clock.AdvanceTo(*next);
        }
    }

private:
    platform::ManualClock& m_clock;
    mulvane::SerialLine& m_line;
};

// Port `port` opens onto the simulated bus; every other number has no device.
class SimOpener final : public link::SerialPortOpener {
public:
    SimOpener(platform::ManualClock& clock, mulvane::SerialLine& line, int port = 0)
        : m_clock(clock), m_line(line), m_port(port) {}
    std::unique_ptr<link::SerialTransport> Open(int n) override {
        if (n != m_port)
            return nullptr;
        return std::make_unique<SimSerial>(m_clock, m_line);
    }

private:
    platform::ManualClock& m_clock;
    mulvane::SerialLine& m_line;
    int m_port;
};

} // namespace kaptiv::test
