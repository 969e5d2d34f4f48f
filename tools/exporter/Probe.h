#pragma once
// One probe of kaptiv-exporter: opens the link to one rack (a gateway session, or a serial
// device), runs one status round of the rack watch, closes the link. The gateway session is
// opened once: a gateway that closes the connection before the session opens (one that serves
// one session only, and is serving an installer's kaptiv) is left alone and named as the
// reason, never retried.
#include "monitor/Alarms.h"
#include "monitor/Measures.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kaptiv::exporter {

struct ProbeTarget {
    enum class Kind { Gateway, Serial } kind = Kind::Gateway;
    std::string host;   // gateway
    uint16_t port = 0;  // gateway
    std::string device; // serial
};
// "HOST:PORT" (a host name, an IPv4 address, or [IPv6]) or "serial:/dev/...". Nothing for
// anything else.
std::optional<ProbeTarget> ParseProbeTarget(const std::string& text);

// Why a probe failed. Labels are few and fixed ("gateway_busy"...).
enum class ProbeFailure {
    None,
    BadTarget,
    ConnectFailed,     // no TCP connection to the gateway
    GatewayBusy,       // the gateway closed the connection before opening a session
    NoSession,         // connected, but no session with a rack link in time
    SerialUnavailable, // the device could not be opened, or no rack answered on it
    Round,             // the status round failed (see the round's own failure)
};

struct ProbeResult {
    bool success = false;
    ProbeFailure failure = ProbeFailure::None;
    std::string reason;     // a label: "gateway_busy", "no_controller"...
    std::string reasonText; // a sentence for the log
    double durationSeconds = 0;
    monitor::RackMeasures measures;
    std::vector<monitor::Alarm> alarms;
};

struct ProbeOptions {
    int64_t timeoutMs = 10000; // the whole probe, session opening included
    int64_t sessionWaitMs = 3000;
    monitor::AlarmThresholds thresholds;
};

ProbeResult RunProbe(const ProbeTarget& target, const ProbeOptions& options);
const char* LabelOf(ProbeFailure failure);

} // namespace kaptiv::exporter
