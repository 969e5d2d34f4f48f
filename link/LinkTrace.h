#pragma once
// The link trace for support: every exchange as one line of text in a file.
//
// Format (version 1). The file starts with the comment line "# kaptiv link trace 1"; lines
// starting with '#' are comments. Every other line is one exchange, ten fields separated by
// single spaces:
//
//   MS TRANSPORT ADDRESS COMMAND NAME RESULT > REQUEST < ANSWER
//
//   MS         milliseconds since the trace started (platform::Clock), decimal
//   TRANSPORT  "serial:" and the device path, "gateway:" and HOST:PORT, or "none" when no
//              link was open; a space or '%' in the device path is written %20 or %25
//   ADDRESS    bus address of the module, two hex digits
//   COMMAND    command byte (high nibble 1..C), two hex digits
//   NAME       the command set's name of the request ("Identify", "ReadParameters", ...)
//   RESULT     ok, no-link, timeout, negative, bad-checksum, answer-too-long, refused,
//              send-failed
//   REQUEST    the request's data bytes in hex (upper case, no separators), "-" when none
//   ANSWER     the answer's control byte and data bytes as CC:HEX ("F0:7700" ...; "F0:" for
//              an empty answer), "-" when no answer came
//
// Example:  1520 serial:/dev/ttyUSB0 0A 70 ReadParameters ok > - < F0:0102A3...
//
// Writing never waits on the disk per exchange: lines are gathered in memory and written
// out every kFlushLines lines, when kFlushBytes are held, after a failed exchange (the
// lines support wants most), and on Flush() and close.
#include "link/ExchangeObserver.h"
#include "link/SerialTransport.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::platform {
class Clock;
}

namespace kaptiv::link {

class CXmit;
class CSSocket;

inline constexpr std::string_view kTraceHeader = "# kaptiv link trace 1";

// One exchange as the trace holds it.
struct TraceLine {
    int64_t ms = 0;
    std::string transport; // "serial:/dev/ttyUSB0", "gateway:127.0.0.1:666", "none"
    uint8_t address = 0;
    uint8_t command = 0;
    std::string name;
    LinkResult result = LinkResult::NoLink;
    std::vector<uint8_t> request;
    bool answered = false; // an answer came (control and data below are meaningful)
    uint8_t answerControl = 0;
    std::vector<uint8_t> answer;
};

std::string FormatTraceLine(const TraceLine& line);

struct TraceParse {
    std::optional<TraceLine> line; // nothing for a comment or an empty line
    std::string error;             // empty when the line was understood
    bool Ok() const { return error.empty(); }
};
// Reads one line (without its line end). Untrusted: every field is checked, a line longer
// than kMaxTraceLineLength or a data field over 65535 bytes is refused.
inline constexpr size_t kMaxTraceLineLength = 300000;
TraceParse ParseTraceLine(std::string_view text);

// A whole trace file: its exchanges, and the faults found, each with its line number
// (counted from 1). Reading goes on after a bad line.
struct TraceFile {
    std::vector<TraceLine> lines;
    std::vector<int> lineNumbers; // of each entry of lines
    std::vector<std::pair<int, std::string>> errors;
};
TraceFile ParseTrace(std::string_view text);

class LinkTrace final : public ExchangeObserver {
public:
    static constexpr size_t kFlushLines = 64;
    static constexpr size_t kFlushBytes = 64 * 1024;

    // Writes to an open file (taken over, closed at the end). Time 0 is now.
    LinkTrace(platform::Clock& clock, std::FILE* file);
    // Opens (truncates) path; nothing when it cannot be opened (error says why). A FIFO, a
    // socket or a folder is refused without waiting; a regular file or a character device
    // (/dev/null) is taken.
    static std::unique_ptr<LinkTrace> Open(platform::Clock& clock, const std::string& path,
                                           std::string& error);
    ~LinkTrace() override;
    LinkTrace(const LinkTrace&) = delete;
    LinkTrace& operator=(const LinkTrace&) = delete;

    // Names the transports: the gateway's socket (its address and port), and the serial
    // device currently open (set by TracedPortOpener).
    void SetGateway(const CSSocket* socket) { m_gateway = socket; }
    void SetSerialDevice(std::string device) { m_serialDevice = std::move(device); }
    // Observes xmit until destroyed.
    void Observe(CXmit& xmit);

    void OnExchange(const ExchangeRecord& record) override;
    // Writes out what is held. False when the file refused it (the trace then stops).
    bool Flush();
    size_t LinesWritten() const { return m_lines; }
    bool Failed() const { return m_failed; }
    // Why the trace stopped: Error() "cannot write the trace PATH: No space left on device",
    // Reason() the same without its first words ("PATH: No space left on device").
    const std::string& Error() const { return m_error; }
    std::string Reason() const {
        const size_t at = m_error.find("trace ");
        return at == std::string::npos ? m_error : m_error.substr(at + 6);
    }
    // Called once, on the first failed write (the destructor's last flush and close too),
    // with Error(): kaptiv-config then exits non-zero, kaptiv shows it in the message panel.
    void SetFailureSink(std::function<void(const std::string&)> sink) { m_onFailure = std::move(sink); }

private:
    std::string Transport(bool viaGateway) const;
    void Fail(int error);

    platform::Clock& m_clock;
    std::FILE* m_file;
    int64_t m_startMs;
    const CSSocket* m_gateway = nullptr;
    CXmit* m_observed = nullptr;
    std::string m_serialDevice;
    std::string m_buffer;
    size_t m_held = 0;
    size_t m_lines = 0;
    bool m_failed = false;
    std::string m_path;
    std::string m_error;
    std::function<void(const std::string&)> m_onFailure;
};

// Wraps the opener of the serial ports so that the trace names the device each port number
// stands for (the path of a DeviceListOpener's list, otherwise "port N").
class TracedPortOpener final : public SerialPortOpener {
public:
    TracedPortOpener(std::unique_ptr<SerialPortOpener> inner, LinkTrace& trace)
        : m_inner(std::move(inner)), m_trace(trace) {}
    std::unique_ptr<SerialTransport> Open(int portNumber) override;
    void Refresh() override { m_inner->Refresh(); }

private:
    std::unique_ptr<SerialPortOpener> m_inner;
    LinkTrace& m_trace;
};

// Starts tracing xmit's exchanges into path (the trace stops observing when destroyed).
// Nothing, with error set, when the file cannot be opened.
std::unique_ptr<LinkTrace> AttachTrace(CXmit& xmit, platform::Clock& clock, const std::string& path,
                                       std::string& error);
// The opener to give CXmit: opener itself without a trace, else wrapped to name devices.
std::unique_ptr<SerialPortOpener> TraceOpener(std::unique_ptr<SerialPortOpener> opener, LinkTrace* trace);

} // namespace kaptiv::link
