#pragma once
// The link to the rack: the one exchange operation through which every request passes. It
// picks a transport (the IP gateway while its session is up and reports a rack link, else
// the serial line) and keeps the answer the transport returns in the answer fields.
#include "link/ExchangeObserver.h"
#include "link/Frame.h"
#include "link/LinkIndicators.h"
#include "link/LinkResult.h"
#include "link/SerialLineTransport.h"
#include "link/SerialTransport.h"
#include "link/Transport.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kaptiv::platform {
class Clock;
}

namespace kaptiv::link {

class CXmit {
public:
    static constexpr size_t kPieceSize = SerialLineTransport::kPieceSize;
    static constexpr int64_t kEchoWaitMs = SerialLineTransport::kEchoWaitMs;
    static constexpr int64_t kSerialTimeUnitMs = SerialLineTransport::kTimeUnitMs;
    static constexpr int kIdentifyTimeout = 10;
    static constexpr uint8_t kCmdIdentify = 0x10;
    static constexpr uint8_t kIdentifyMark = 0x77; // first byte of every identification answer

    explicit CXmit(platform::Clock& clock);
    virtual ~CXmit();
    CXmit(const CXmit&) = delete;
    CXmit& operator=(const CXmit&) = delete;

    void SetIndicators(LinkIndicators* indicators) {
        m_indicators = indicators ? indicators : &m_noIndicators;
    }
    // The gateway session (CSSocket), or any other transport that is up only at times.
    void SetGateway(GatewayTransport* gateway) { m_gateway = gateway; }
    // Told of every exchange once its result is known (null: nobody).
    void SetObserver(ExchangeObserver* observer) { m_observer = observer; }
    void SetPortOpener(std::unique_ptr<SerialPortOpener> opener);

    // Sends one request and waits for its answer. length: data bytes (at most 65535);
    // command: high nibble 0x10..0xC0; timeout: units of 10 ms on the serial line, 100 ms
    // through the gateway. True only for a positive, well-formed answer (for address 0xFF:
    // as soon as the request is out). The answer stays in the answer fields until the next
    // exchange. One attempt; retries are the callers' business.
    bool Exchange(size_t length, uint8_t address, uint8_t command, const uint8_t* data, int timeout);

    // Opens the link: through the gateway an identification of the controller, otherwise a
    // search of the serial ports from the remembered number through all 256 with wrap-around.
    bool OpenLink();
    bool CloseSerialPort();
    bool IsGatewayLinkUp() const;
    bool IsLinkOpen() const;

    // Answer fields of the last exchange.
    uint8_t AnswerControl() const { return m_answerControl; }
    const uint8_t* AnswerData() const { return m_answerData.data(); }
    uint8_t* AnswerArea() { return m_answerData.data(); }
    int AnswerLength() const { return m_answerLength; }
    LinkResult LastResult() const { return m_lastResult; }

    // Set by the first failing exchange; read and cleared by the link watchdog.
    bool IsLinkLost() const { return m_linkLost; }
    // Told that an exchange failed, the watchdog asks first whether the link is really lost:
    // the module whose exchange failed is asked to identify itself, up to kConfirmAttempts
    // times. When it answers, one answer was lost, not the rack: link lost is cleared and the
    // result is true. False when no link is open or the module stays silent.
    static constexpr int kConfirmAttempts = 2;
    bool ConfirmLink();
    void ClearLinkLost() { m_linkLost = false; }
    // Bytes moved through the gateway, shown in the main window's title.
    long TcpTrafficCount() const { return m_tcpTraffic; }
    // Set by a request that changes something in the rack; cleared by every exchange.
    void SetWriteFlag() { m_writeFlag = true; }
    bool WriteFlag() const { return m_writeFlag; }
    // Serialises requests; held by each command around its exchange and answer copy.
    std::recursive_mutex& ExchangeLock() { return m_exchangeLock; }
    int PortNumber() const { return m_portNumber; }

private:
    // The gateway while its session is up and reports a rack link, else the open serial
    // line, else none.
    Transport* ActiveTransport();
    Answer Run(Transport& transport, const Request& request);
    static Answer Unsent(LinkResult result);
    bool IdentifiesAsController(); // exchange lock held by the caller

    platform::Clock& m_clock;
    NoIndicators m_noIndicators;
    LinkIndicators* m_indicators = &m_noIndicators;
    GatewayTransport* m_gateway = nullptr;
    ExchangeObserver* m_observer = nullptr;
    std::unique_ptr<SerialPortOpener> m_opener;
    std::unique_ptr<SerialLineTransport> m_serial;

    bool m_linkLost = false;
    uint8_t m_lostAddress = kControllerAddress; // the module of the exchange that set link lost
    long m_tcpTraffic = 0;
    std::recursive_mutex m_exchangeLock;
    int m_portNumber = 0;
    uint8_t m_answerControl = 0;
    std::array<uint8_t, kAreaSize> m_answerData{};
    int m_answerLength = 0;
    bool m_writeFlag = false;
    LinkResult m_lastResult = LinkResult::NoLink;
};

} // namespace kaptiv::link
