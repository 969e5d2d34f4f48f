#include "link/LinkTrace.h"

#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "link/CommandNames.h"
#include "link/Frame.h"
#include "platform/Clock.h"
#include "platform/HexText.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptiv::link {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kFieldCount = 10;

void AppendHexByte(std::string& out, uint8_t b) {
    out.push_back(kHexDigits[b >> 4]);
    out.push_back(kHexDigits[b & 0x0F]);
}

void AppendHex(std::string& out, std::span<const uint8_t> bytes) {
    for (const uint8_t b : bytes)
        AppendHexByte(out, b);
}

// Device paths may hold spaces; the line's fields may not.
std::string EscapeDevice(std::string_view device) {
    std::string out;
    for (const char c : device) {
        if (c == ' ')
            out += "%20";
        else if (c == '%')
            out += "%25";
        else if (static_cast<unsigned char>(c) < 0x20)
            out += "%3F"; // a control character would break the line
        else
            out.push_back(c);
    }
    return out;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& out) {
    auto parsed = platform::ParseHexPairs(text, "", kMaxFrameData);
    if (!parsed.Ok())
        return false;
    out = std::move(parsed.bytes);
    return true;
}

std::optional<uint8_t> ParseHexByte(std::string_view text) {
    std::vector<uint8_t> one;
    if (text.size() != 2 || !ParseHexBytes(text, one))
        return std::nullopt;
    return one[0];
}

std::vector<std::string_view> SplitSpaces(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start <= text.size() && fields.size() <= kFieldCount) {
        const size_t end = text.find(' ', start);
        if (end == std::string_view::npos) {
            fields.push_back(text.substr(start));
            break;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

} // namespace

std::string FormatTraceLine(const TraceLine& line) {
    std::string out;
    out.reserve(48 + line.transport.size() + 2 * (line.request.size() + line.answer.size()));
    out += std::to_string(line.ms);
    out.push_back(' ');
    out += line.transport.empty() ? std::string("none") : line.transport;
    out.push_back(' ');
    AppendHexByte(out, line.address);
    out.push_back(' ');
    AppendHexByte(out, line.command);
    out.push_back(' ');
    out += line.name.empty() ? std::string(CommandName(line.command, line.request)) : line.name;
    out.push_back(' ');
    out += ResultToken(line.result);
    out += " > ";
    if (line.request.empty())
        out.push_back('-');
    else
        AppendHex(out, line.request);
    out += " < ";
    if (!line.answered) {
        out.push_back('-');
    } else {
        AppendHexByte(out, line.answerControl);
        out.push_back(':');
        AppendHex(out, line.answer);
    }
    return out;
}

TraceParse ParseTraceLine(std::string_view text) {
    TraceParse parse;
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    if (text.empty() || text.front() == '#')
        return parse;
    if (text.size() > kMaxTraceLineLength) {
        parse.error = "line too long";
        return parse;
    }
    const std::vector<std::string_view> f = SplitSpaces(text);
    if (f.size() != kFieldCount) {
        parse.error = "expected " + std::to_string(kFieldCount) + " fields separated by single spaces";
        return parse;
    }
    TraceLine line;
    const auto [end, ec] = std::from_chars(f[0].data(), f[0].data() + f[0].size(), line.ms);
    if (ec != std::errc() || end != f[0].data() + f[0].size() || line.ms < 0) {
        parse.error = "bad time '" + std::string(f[0].substr(0, 20)) + "'";
        return parse;
    }
    if (f[1].empty()) {
        parse.error = "empty transport";
        return parse;
    }
    line.transport = f[1];
    const auto address = ParseHexByte(f[2]);
    const auto command = ParseHexByte(f[3]);
    if (!address || !command) {
        parse.error = "address and command must be two hex digits each";
        return parse;
    }
    line.address = *address;
    line.command = *command;
    if (f[4].empty() || f[4].size() > 32) {
        parse.error = "bad command name";
        return parse;
    }
    line.name = f[4];
    const auto result = ResultFromToken(f[5]);
    if (!result) {
        parse.error = "unknown result '" + std::string(f[5].substr(0, 20)) + "'";
        return parse;
    }
    line.result = *result;
    if (f[6] != ">" || f[8] != "<") {
        parse.error = "expected '>' before the request and '<' before the answer";
        return parse;
    }
    if (f[7] != "-" && (f[7].empty() || !ParseHexBytes(f[7], line.request))) {
        parse.error = "request is not hex bytes";
        return parse;
    }
    if (f[9] != "-") {
        const std::string_view answer = f[9];
        const auto control =
            answer.size() >= 3 && answer[2] == ':' ? ParseHexByte(answer.substr(0, 2)) : std::nullopt;
        if (!control || !ParseHexBytes(answer.substr(3), line.answer)) {
            parse.error = "answer is not CC:HEX";
            return parse;
        }
        line.answered = true;
        line.answerControl = *control;
    }
    parse.line = std::move(line);
    return parse;
}

TraceFile ParseTrace(std::string_view text) {
    TraceFile file;
    int number = 0;
    size_t start = 0;
    while (start < text.size()) {
        ++number;
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        TraceParse parse = ParseTraceLine(text.substr(start, end - start));
        if (!parse.Ok()) {
            file.errors.emplace_back(number, std::move(parse.error));
        } else if (parse.line) {
            file.lines.push_back(std::move(*parse.line));
            file.lineNumbers.push_back(number);
        }
        start = end + 1;
    }
    return file;
}

LinkTrace::LinkTrace(platform::Clock& clock, std::FILE* file)
    : m_clock(clock), m_file(file), m_startMs(clock.NowMs()) {
    m_buffer.reserve(kFlushBytes + 4096);
    m_buffer += kTraceHeader;
    m_buffer.push_back('\n');
}

std::unique_ptr<LinkTrace> LinkTrace::Open(platform::Clock& clock, const std::string& path,
                                           std::string& error) {
    // The trace is an append stream written for as long as the program runs, so it opens its
    // file itself instead of going through platform/FileAccess.h (whose writes are whole
    // files renamed into place). It keeps that place's rule all the same: nothing that could
    // block is opened (O_NONBLOCK: a FIFO without a reader fails at once, one with a reader
    // is refused below).
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write the trace " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode))) {
        ::close(fd);
        error = "cannot write the trace " + path + ": not a regular file";
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file =
        flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ? nullptr : ::fdopen(fd, "wb");
    if (!file) {
        error = "cannot write the trace " + path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    auto trace = std::make_unique<LinkTrace>(clock, file);
    trace->m_path = path;
    return trace;
}

LinkTrace::~LinkTrace() {
    if (m_observed)
        m_observed->SetObserver(nullptr);
    Flush();
    if (m_file && std::fclose(m_file) != 0 && !m_failed)
        Fail(errno);
}

void LinkTrace::Fail(int error) {
    m_failed = true;
    m_error = "cannot write the trace " + (m_path.empty() ? std::string("file") : m_path) + ": " +
              std::strerror(error != 0 ? error : EIO);
    if (m_onFailure)
        m_onFailure(m_error);
}

void LinkTrace::Observe(CXmit& xmit) {
    m_observed = &xmit;
    xmit.SetObserver(this);
}

std::string LinkTrace::Transport(bool viaGateway) const {
    if (viaGateway && m_gateway)
        return "gateway:" + m_gateway->ServerAddress() + ":" + std::to_string(m_gateway->ServerPort());
    if (viaGateway)
        return "gateway";
    if (!m_serialDevice.empty())
        return "serial:" + EscapeDevice(m_serialDevice);
    return "none";
}

void LinkTrace::OnExchange(const ExchangeRecord& record) {
    if (m_failed)
        return;
    // Formatted straight into the buffer: no allocation per exchange once it has grown.
    m_buffer += std::to_string(m_clock.NowMs() - m_startMs);
    m_buffer.push_back(' ');
    m_buffer += record.result == LinkResult::NoLink ? std::string("none") : Transport(record.viaGateway);
    m_buffer.push_back(' ');
    AppendHexByte(m_buffer, record.address);
    m_buffer.push_back(' ');
    AppendHexByte(m_buffer, record.command);
    m_buffer.push_back(' ');
    m_buffer += CommandName(record.command, record.request);
    m_buffer.push_back(' ');
    m_buffer += ResultToken(record.result);
    m_buffer += " > ";
    if (record.request.empty())
        m_buffer.push_back('-');
    else
        AppendHex(m_buffer, record.request);
    m_buffer += " < ";
    // The answer fields hold an answer only when one came; otherwise they are stale.
    const bool answered = record.result == LinkResult::Ok || record.result == LinkResult::Negative ||
                          record.result == LinkResult::BadChecksum;
    if (answered && !(record.result == LinkResult::Ok && record.address == kBroadcastAddress)) {
        AppendHexByte(m_buffer, record.answerControl);
        m_buffer.push_back(':');
        AppendHex(m_buffer, record.answer);
    } else {
        m_buffer.push_back('-');
    }
    m_buffer.push_back('\n');
    ++m_held;
    ++m_lines;
    if (m_held >= kFlushLines || m_buffer.size() >= kFlushBytes || record.result != LinkResult::Ok)
        Flush();
}

bool LinkTrace::Flush() {
    if (m_failed || !m_file)
        return false;
    if (!m_buffer.empty()) {
        errno = 0;
        const size_t written = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file);
        if (written != m_buffer.size() || std::fflush(m_file) != 0)
            Fail(errno);
    }
    m_buffer.clear();
    m_held = 0;
    return !m_failed;
}

std::unique_ptr<SerialTransport> TracedPortOpener::Open(int portNumber) {
    auto port = m_inner->Open(portNumber);
    if (port) {
        const auto* listed = dynamic_cast<const DeviceListOpener*>(m_inner.get());
        if (listed && portNumber >= 0 && static_cast<size_t>(portNumber) < listed->Devices().size())
            m_trace.SetSerialDevice(listed->Devices()[static_cast<size_t>(portNumber)]);
        else
            m_trace.SetSerialDevice("port" + std::to_string(portNumber));
    }
    return port;
}

std::unique_ptr<LinkTrace> AttachTrace(CXmit& xmit, platform::Clock& clock, const std::string& path,
                                       std::string& error) {
    auto trace = LinkTrace::Open(clock, path, error);
    if (trace)
        trace->Observe(xmit);
    return trace;
}

std::unique_ptr<SerialPortOpener> TraceOpener(std::unique_ptr<SerialPortOpener> opener, LinkTrace* trace) {
    if (!trace || !opener)
        return opener;
    return std::make_unique<TracedPortOpener>(std::move(opener), *trace);
}

} // namespace kaptiv::link
