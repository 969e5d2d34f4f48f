// kaptiv-exporter: a Prometheus exporter for MULVANE racks, in the multi-target pattern.
// Prometheus names the rack on every scrape (/probe?target=HOST:PORT or serial:/dev/...);
// the exporter runs one status round over it and answers. It keeps no list of racks and no
// schedule. /metrics gives the exporter's own figures.
#include "tools/exporter/ExporterMetrics.h"
#include "tools/exporter/HttpServer.h"
#include "tools/exporter/Probe.h"
#include "tools/exporter/ProbeMetrics.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace kaptiv::exporter;

constexpr const char* kVersion = KAPTIV_VERSION;
constexpr const char* kDefaultListen = "127.0.0.1:9468";
constexpr double kScrapeTimeoutMarginSeconds = 0.5; // left for the answer to travel back
constexpr double kMinProbeSeconds = 0.5;
constexpr const char* kTextFormat = "text/plain; version=0.0.4; charset=utf-8";

void PrintHelp() {
    std::printf(
        "usage: kaptiv-exporter [options]\n"
        "Prometheus exporter for MULVANE headend racks (multi-target pattern).\n\n"
        "  --web.listen-address ADDR:PORT  where to serve HTTP (default %s); read-only and\n"
        "                          without a token: keep it on loopback or behind a reverse proxy\n"
        "  --probe.timeout SECONDS  longest probe when Prometheus sends no scrape time-out (default 10)\n"
        "  --alarm.min-level N     a tuner input's level under N raises level_low (default 30)\n"
        "  --alarm.max-temperature C  a temperature above C raises temperature_high (default 60)\n"
        "  --help, --version\n\n"
        "Endpoints:\n"
        "  /probe?target=HOST:PORT          one status round through the rack's IP gateway\n"
        "  /probe?target=serial:/dev/ttyUSB0 the same over a local serial adapter\n"
        "  /metrics                         the exporter's own figures\n",
        kDefaultListen);
}

bool ParseInt(const char* text, long min, long max, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out >= min && out <= max;
}

const char* kIndex = "<html><head><title>kaptiv-exporter</title></head><body><h1>kaptiv-exporter</h1>"
                     "<p><a href=\"/metrics\">/metrics</a>: the exporter's own figures.</p>"
                     "<p>/probe?target=HOST:PORT or /probe?target=serial:/dev/ttyUSB0: one status round "
                     "over a rack.</p></body></html>\n";

} // namespace

int main(int argc, char** argv) {
    std::string listen = kDefaultListen;
    long probeTimeout = 10;
    ProbeOptions defaults;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kaptiv-exporter: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        long n = 0;
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        } else if (arg == "--version") {
            std::printf("kaptiv-exporter %s\n", kVersion);
            return 0;
        } else if (arg == "--web.listen-address") {
            listen = value();
        } else if (arg == "--probe.timeout") {
            if (!ParseInt(value(), 1, 300, probeTimeout)) {
                std::fprintf(stderr, "kaptiv-exporter: --probe.timeout needs 1..300 seconds\n");
                return 2;
            }
        } else if (arg == "--alarm.min-level") {
            if (!ParseInt(value(), 0, 255, n)) {
                std::fprintf(stderr, "kaptiv-exporter: --alarm.min-level needs 0..255\n");
                return 2;
            }
            defaults.thresholds.minLevel = static_cast<int>(n);
        } else if (arg == "--alarm.max-temperature") {
            if (!ParseInt(value(), 0, 255, n)) {
                std::fprintf(stderr, "kaptiv-exporter: --alarm.max-temperature needs 0..255\n");
                return 2;
            }
            defaults.thresholds.maxTemperatureCelsius = static_cast<int>(n);
        } else {
            std::fprintf(stderr, "kaptiv-exporter: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }
    HttpServerOptions http;
    if (!ParseListenAddress(listen, http.address, http.port)) {
        std::fprintf(stderr, "kaptiv-exporter: --web.listen-address needs ADDRESS:PORT, not '%s'\n",
                     listen.c_str());
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);

    ExporterMetrics metrics(kVersion);
    HttpServer server(http, [&](const HttpRequest& request) -> HttpResponse {
        if (request.path == "/metrics")
            return {200, kTextFormat, metrics.Render()};
        if (request.path == "/")
            return {200, "text/html; charset=utf-8", kIndex};
        if (request.path != "/probe")
            return {404, "text/plain; charset=utf-8", "Not found\n"};
        const auto target = request.query.find("target");
        if (target == request.query.end() || target->second.empty())
            return {400, "text/plain; charset=utf-8", "The target parameter is missing\n"};
        const auto parsed = ParseProbeTarget(target->second);
        if (!parsed)
            return {400, "text/plain; charset=utf-8", "The target must be HOST:PORT or serial:/dev/DEVICE\n"};
        ProbeOptions options = defaults;
        double seconds = static_cast<double>(probeTimeout);
        if (request.scrapeTimeoutSeconds)
            seconds = std::min(seconds, *request.scrapeTimeoutSeconds - kScrapeTimeoutMarginSeconds);
        options.timeoutMs = static_cast<int64_t>(std::lround(std::max(seconds, kMinProbeSeconds) * 1000));
        metrics.ProbeStarted();
        const ProbeResult result = RunProbe(*parsed, options);
        metrics.ProbeEnded(result);
        if (!result.success)
            std::fprintf(stderr, "kaptiv-exporter: probe of %s failed: %s\n", target->second.c_str(),
                         result.reasonText.c_str());
        return {200, kTextFormat, RenderProbe(result)};
    });
    std::string error;
    if (!server.Bind(error)) {
        std::fprintf(stderr, "kaptiv-exporter: %s\n", error.c_str());
        return 1;
    }
    std::printf("kaptiv-exporter %s listening on %s:%u\n", kVersion, http.address.c_str(), server.Port());
    std::fflush(stdout);
    server.Run();
    return 0;
}
