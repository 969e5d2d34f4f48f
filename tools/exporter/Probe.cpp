#include "tools/exporter/Probe.h"

#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace kaptiv::exporter {

namespace {

constexpr const char* kSerialPrefix = "serial:";
constexpr int64_t kLoopSliceMs = 20;

bool ParsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value <= 0 || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

ProbeResult Failed(ProbeFailure failure, std::string text) {
    ProbeResult r;
    r.failure = failure;
    r.reason = LabelOf(failure);
    r.reasonText = std::move(text);
    return r;
}

void Finish(ProbeResult& r, const monitor::RoundAnswers& round, const ProbeOptions& options) {
    r.measures = monitor::DecodeRound(round);
    r.alarms = monitor::EvaluateAlarms(r.measures, options.thresholds);
    r.success = r.measures.Complete();
    if (!r.success) {
        r.failure = ProbeFailure::Round;
        r.reason = monitor::LabelOf(round.failure);
        r.reasonText = monitor::ToText(round.failure);
    }
}

ProbeResult ProbeGateway(const ProbeTarget& target, const ProbeOptions& options, platform::Clock& clock,
                         int64_t startMs) {
    link::CXmit xmit(clock);
    platform::EventLoop loop(clock);
    link::CSSocket socket(loop);
    socket.SetAutoReconnect(false);
    xmit.SetGateway(&socket);
    socket.ConnectTo(target.host, target.port);
    const int64_t waitUntil = startMs + std::min(options.sessionWaitMs, options.timeoutMs);
    while (!xmit.IsGatewayLinkUp() && socket.LastSessionEnd() == link::CSSocket::SessionEnd::None &&
           clock.NowMs() < waitUntil)
        loop.RunOnce(kLoopSliceMs);
    if (!xmit.IsGatewayLinkUp()) {
        const auto end = socket.LastSessionEnd();
        const bool opened = socket.IsSessionOpen();
        socket.Disconnect();
        if (end == link::CSSocket::SessionEnd::ConnectFailed)
            return Failed(ProbeFailure::ConnectFailed, "no connection to the gateway");
        if (end == link::CSSocket::SessionEnd::ClosedByGateway && !opened)
            return Failed(ProbeFailure::GatewayBusy,
                          "the gateway closed the connection before opening a session (it may be serving "
                          "another session, such as an installer's kaptiv)");
        return Failed(ProbeFailure::NoSession, opened ? "the gateway reports no link to the rack"
                                                      : "the gateway opened no session in time");
    }
    ProbeResult r;
    const int64_t left = options.timeoutMs - (clock.NowMs() - startMs);
    const auto round = monitor::RunStatusRound(xmit, clock, monitor::RoundLimits{std::max<int64_t>(left, 0)});
    socket.Disconnect();
    Finish(r, round, options);
    return r;
}

// Whoever can reach the exporter names the device, so only a serial line is opened: a character
// device that is, once its links are followed, a serial port or a pseudo-terminal (not the
// controlling terminal, not a console), never a disk or a watchdog.
bool IsSerialLine(const std::string& device) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (!realpath(device.c_str(), resolved) || stat(resolved, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const std::string path = resolved;
    if (path.rfind("/dev/pts/", 0) == 0)
        return true;
    if (path.rfind("/dev/tty", 0) != 0 || path == "/dev/tty")
        return false;
    const char next = path[std::char_traits<char>::length("/dev/tty")];
    return !std::isdigit(static_cast<unsigned char>(next)); // /dev/tty1...: consoles
}

ProbeResult ProbeSerial(const ProbeTarget& target, const ProbeOptions& options, platform::Clock& clock,
                        int64_t startMs) {
    if (!IsSerialLine(target.device))
        return Failed(ProbeFailure::SerialUnavailable, target.device + " is not a serial line");
    link::CXmit xmit(clock);
    xmit.SetPortOpener(
        std::make_unique<link::DeviceListOpener>(clock, std::vector<std::string>{target.device}));
    if (!xmit.OpenLink())
        return Failed(ProbeFailure::SerialUnavailable,
                      "the serial device could not be opened (it may be in use) or no rack answered on it");
    ProbeResult r;
    const int64_t left = options.timeoutMs - (clock.NowMs() - startMs);
    const auto round = monitor::RunStatusRound(xmit, clock, monitor::RoundLimits{std::max<int64_t>(left, 0)});
    xmit.CloseSerialPort();
    Finish(r, round, options);
    return r;
}

} // namespace

std::optional<ProbeTarget> ParseProbeTarget(const std::string& text) {
    ProbeTarget t;
    if (text.rfind(kSerialPrefix, 0) == 0) {
        t.kind = ProbeTarget::Kind::Serial;
        t.device = text.substr(std::char_traits<char>::length(kSerialPrefix));
        // An absolute device path without control characters; nothing else is opened.
        if (t.device.size() < 2 || t.device[0] != '/' || t.device.size() > 255 ||
            std::any_of(t.device.begin(), t.device.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
            return std::nullopt;
        return t;
    }
    if (text.size() > 300)
        return std::nullopt;
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || !ParsePort(text.substr(colon + 1), t.port))
        return std::nullopt;
    t.host = text.substr(0, colon);
    if (t.host.front() == '[') {
        if (t.host.size() < 3 || t.host.back() != ']')
            return std::nullopt;
        t.host = t.host.substr(1, t.host.size() - 2);
    } else if (t.host.find(':') != std::string::npos) {
        return std::nullopt; // an IPv6 address must be written in brackets
    }
    if (std::any_of(t.host.begin(), t.host.end(), [](char c) {
            return !(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' ||
                     c == '_');
        }))
        return std::nullopt;
    return t;
}

const char* LabelOf(ProbeFailure failure) {
    switch (failure) {
    case ProbeFailure::None:
        return "none";
    case ProbeFailure::BadTarget:
        return "bad_target";
    case ProbeFailure::ConnectFailed:
        return "connect_failed";
    case ProbeFailure::GatewayBusy:
        return "gateway_busy";
    case ProbeFailure::NoSession:
        return "no_session";
    case ProbeFailure::SerialUnavailable:
        return "serial_unavailable";
    case ProbeFailure::Round:
        return "round_failed";
    }
    return "unknown";
}

ProbeResult RunProbe(const ProbeTarget& target, const ProbeOptions& options) {
    platform::RealClock clock;
    const auto started = std::chrono::steady_clock::now();
    const int64_t startMs = clock.NowMs();
    ProbeResult r = target.kind == ProbeTarget::Kind::Gateway ? ProbeGateway(target, options, clock, startMs)
                                                              : ProbeSerial(target, options, clock, startMs);
    r.durationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return r;
}

} // namespace kaptiv::exporter
