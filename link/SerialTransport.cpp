#include "link/SerialTransport.h"

#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace kaptiv::link {

namespace {

class PosixSerialTransport final : public SerialTransport {
public:
    explicit PosixSerialTransport(platform::Clock& clock) : m_clock(clock) {}
    bool Open(const std::string& path) { return m_port.Open(path); }
    bool Write(const uint8_t* data, size_t n) override { return m_port.Write(data, n, m_clock); }
    size_t Read(uint8_t* out, size_t max, int64_t deadlineMs) override {
        return m_port.Read(out, max, m_clock, deadlineMs);
    }

private:
    platform::Clock& m_clock;
    platform::SerialPort m_port;
};

} // namespace

std::unique_ptr<SerialTransport> DeviceListOpener::Open(int portNumber) {
    if (portNumber < 0 || static_cast<size_t>(portNumber) >= m_devices.size())
        return nullptr;
    auto port = std::make_unique<PosixSerialTransport>(m_clock);
    if (!port->Open(m_devices[static_cast<size_t>(portNumber)]))
        return nullptr;
    return port;
}

} // namespace kaptiv::link
