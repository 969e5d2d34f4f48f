#pragma once
// The serial side of the exchange: the request as a stuffed frame, written in pieces of at
// most 400 bytes with the bus echo read back after each, then the answer frame read with
// the time-out in units of 10 ms.
#include "link/Frame.h"
#include "link/SerialTransport.h"
#include "link/Transport.h"

#include <memory>

namespace kaptiv::platform {
class Clock;
}

namespace kaptiv::link {

class SerialLineTransport final : public Transport {
public:
    static constexpr size_t kPieceSize = 400;   // written at a time, echo read back after each
    static constexpr int64_t kEchoWaitMs = 100; // per piece
    static constexpr int64_t kTimeUnitMs = 10;
    // An answer frame that began before the deadline is read to its end while its bytes
    // keep coming (no gap of kStallMs), at most kOverrunMs past the deadline: cut at the
    // deadline, its rest would come after the next request's drain.
    static constexpr int64_t kStallMs = 100;
    static constexpr int64_t kOverrunMs = 2000;

    SerialLineTransport(platform::Clock& clock, std::unique_ptr<SerialTransport> port);

    Answer Exchange(const Request& request) override;
    std::string_view Name() const override { return "serial"; }

private:
    void DrainInput();
    bool SendFrame();
    void ReceiveAnswer(uint8_t address, int timeout, Answer& answer);

    platform::Clock& m_clock;
    std::unique_ptr<SerialTransport> m_port;
    FrameBuilder m_transmit;
    AnswerParser m_parser;
};

} // namespace kaptiv::link
