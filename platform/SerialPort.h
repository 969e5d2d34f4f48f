#pragma once
// A serial port over termios, opened raw at 115200 baud 8N1, and the list of serial
// devices that port numbers index into.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kaptiv::platform {

class Clock;

// Port number N is the N-th entry of this list. Default: /dev/ttyUSB*, /dev/ttyACM*,
// /dev/ttyS* in a stable (natural number) order. The environment variable
// KAPTIV_SERIAL_DEVICES (comma-separated paths) overrides it, and so does an explicit list
// given on the command line; that is how a simulator's pseudo-terminal is found.
std::vector<std::string> DefaultSerialDevices();
// The serial device names in `folder` (ttyUSB*, then ttyACM*, then ttyS*, each in natural order).
std::vector<std::string> SerialDevicesIn(const std::string& folder);
std::vector<std::string> SplitDeviceList(const std::string& commaSeparated);

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens an existing device for reading and writing, exclusively, and sets 115200 baud,
    // 8 data bits, no parity, one stop bit, raw. Returns false (and leaves it closed) on
    // any failure; LastError() says why.
    bool Open(const std::string& path);
    bool Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    const std::string& LastError() const { return m_lastError; }

    // Writes all n bytes (waiting for the driver when it is full, at most timeoutMs).
    bool Write(const uint8_t* data, size_t n, Clock& clock, int64_t timeoutMs = 1000);
    // Reads up to max bytes; waits with poll() until deadlineMs (Clock time) for the first.
    // Returns 0 on time-out or error.
    size_t Read(uint8_t* out, size_t max, Clock& clock, int64_t deadlineMs);

private:
    int m_fd = -1;
    std::string m_lastError;
};

} // namespace kaptiv::platform
