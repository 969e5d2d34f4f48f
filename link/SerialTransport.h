#pragma once
// The byte transport under the serial side of the exchange: a termios port in the
// product, an in-memory endpoint of the simulated rack in tests.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kaptiv::platform {
class Clock;
}

namespace kaptiv::link {

class SerialTransport {
public:
    virtual ~SerialTransport() = default;
    // Writes the whole piece or fails.
    virtual bool Write(const uint8_t* data, size_t n) = 0;
    // Reads up to max bytes, waiting until deadlineMs (clock time) for the first one.
    // Returns 0 once the deadline has passed or the port failed.
    virtual size_t Read(uint8_t* out, size_t max, int64_t deadlineMs) = 0;
};

// Opens port number N (the N-th serial device); null when there is no such port or it
// cannot be opened.
class SerialPortOpener {
public:
    virtual ~SerialPortOpener() = default;
    virtual std::unique_ptr<SerialTransport> Open(int portNumber) = 0;
    // Called before each search of the ports: the devices present may have changed.
    virtual void Refresh() {}
};

// Real serial devices, indexed by a device list: a fixed one (named on the command line), or
// one listed again before every search, so that an adapter plugged in after start-up is
// found (platform::DefaultSerialDevices()).
class DeviceListOpener final : public SerialPortOpener {
public:
    using Lister = std::function<std::vector<std::string>()>;
    DeviceListOpener(platform::Clock& clock, std::vector<std::string> devices)
        : m_clock(clock), m_devices(std::move(devices)) {}
    DeviceListOpener(platform::Clock& clock, Lister lister)
        : m_clock(clock), m_lister(std::move(lister)), m_devices(m_lister()) {}
    std::unique_ptr<SerialTransport> Open(int portNumber) override;
    void Refresh() override {
        if (m_lister)
            m_devices = m_lister();
    }
    const std::vector<std::string>& Devices() const { return m_devices; }

private:
    platform::Clock& m_clock;
    Lister m_lister;
    std::vector<std::string> m_devices;
};

} // namespace kaptiv::link
