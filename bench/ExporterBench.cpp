// kaptiv-exporter with many racks: N simulated racks behind their gateways on loopback (in this
// process), the kaptiv-exporter program started as a child, and every rack probed once an
// interval, the probes spread over the interval as Prometheus spreads its targets. Prints the
// probe p50/p95 over the gateway, the exporter's CPU as a share of one core (from its own
// /metrics) and its resident memory, then one round over the 115200-baud pty against the
// serial minimum (there with modules that answer at once: the figure is the link's).
//
//   exporter_bench [--racks N] [--interval SECONDS] [--rounds N] [--exporter PATH]
//
// Defaults: 100 racks, 15 s, 3 rounds (about 50 s). A shorter interval gives the same CPU
// per probe; the share at 15 s is then scaled from it, and both figures are printed.
#include "BenchSupport.h"
#include "link/CommandSet.h"
#include "link/Frame.h"
#include "monitor/Measures.h"
#include "monitor/StatusRound.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace kaptiv;
using namespace kaptiv::bench;

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;

std::optional<std::string> Get(uint16_t port, const std::string& target) {
    try {
        asio::io_context ioc;
        beast::tcp_stream stream(ioc);
        stream.expires_after(std::chrono::seconds(20));
        stream.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        http::request<http::empty_body> request(http::verb::get, target, 11);
        request.set(http::field::host, "127.0.0.1");
        http::write(stream, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(stream, buffer, response);
        return response.body();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The value of the first sample line "NAME VALUE" (no labels) in a text exposition.
std::optional<double> Sample(const std::string& text, const std::string& name) {
    const auto at = text.find("\n" + name + " ");
    if (at == std::string::npos)
        return std::nullopt;
    return std::strtod(text.c_str() + at + name.size() + 2, nullptr);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

uint16_t FreePort() {
    asio::io_context ioc;
    tcp::acceptor acceptor(ioc, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    return acceptor.local_endpoint().port();
}

std::string DefaultExporterPath(const char* self) {
    std::string path = self;
    const auto slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) +
           "/../tools/kaptiv-exporter";
}

// Bytes a round puts on the serial line at the least: every request frame (its echo is the
// same transmission) and every answer frame (start, addresses, control, length, checksum
// around its data; stuffing left out).
size_t RoundWireBytes(const monitor::RoundAnswers& round) {
    link::FrameBuilder empty;
    empty.Build(0x10, link::cmd::kIdentify, nullptr, 0);
    const size_t request = empty.Size();
    constexpr size_t kAnswerFrame = 6;
    size_t bytes = request + kAnswerFrame + 3 * (round.modules.size() - 1); // the module list
    for (const auto& m : round.modules)
        for (const auto* part : {&m.identify, &m.status, &m.readData, &m.parameters})
            if (*part)
                bytes += request + kAnswerFrame + (*part)->size();
    return bytes;
}

int SerialRound() {
    mulvane::RackEngine engine(QuickDemoRack(), 1);
    auto pty = StartPty(engine, true);
    if (!pty)
        return 1;
    platform::RealClock clock;
    link::CXmit xmit(clock);
    if (!OpenOnPty(xmit, clock, *pty))
        return 1;
    const auto started = SteadyClock::now();
    const auto round = monitor::RunStatusRound(xmit, clock, monitor::RoundLimits{30000});
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - started).count();
    const double minimum = static_cast<double>(RoundWireBytes(round)) / kWireBytesPerSecond;
    std::printf("serial round (115200-baud pty, demo rack): %.1f ms, %d exchanges; serial minimum %.1f ms "
                "(%zu bytes on the wire); ratio %.2f\n",
                seconds * 1e3, round.exchanges, minimum * 1e3, RoundWireBytes(round), seconds / minimum);
    return round.failure == monitor::RoundFailure::None ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    int racks = 100;
    double interval = 15;
    int rounds = 3;
    std::string exporterPath = DefaultExporterPath(argv[0]);
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--racks")
            racks = std::clamp(std::atoi(argv[i + 1]), 1, 1000);
        else if (arg == "--interval")
            interval = std::clamp(std::atof(argv[i + 1]), 0.5, 120.0);
        else if (arg == "--rounds")
            rounds = std::clamp(std::atoi(argv[i + 1]), 1, 100);
        else if (arg == "--exporter")
            exporterPath = argv[i + 1];
    }
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<std::unique_ptr<mulvane::RackEngine>> engines;
    std::vector<std::unique_ptr<mulvane::GatewayServer>> gateways;
    for (int i = 0; i < racks; ++i) {
        engines.push_back(
            std::make_unique<mulvane::RackEngine>(QuickDemoRack(), static_cast<uint64_t>(i + 1)));
        gateways.push_back(StartGateway(*engines.back()));
        if (!gateways.back())
            return 1;
    }
    const uint16_t port = FreePort();
    std::string listen = "127.0.0.1:" + std::to_string(port);
    std::string option = "--web.listen-address";
    std::vector<char*> args = {exporterPath.data(), option.data(), listen.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, exporterPath.c_str(), &actions, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", exporterPath.c_str());
        return 1;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::optional<std::string> metrics;
    for (int i = 0; i < 100 && !(metrics = Get(port, "/metrics")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!metrics) {
        std::fprintf(stderr, "the exporter did not answer\n");
        kill(pid, SIGKILL);
        return 1;
    }

    std::mutex mutex;
    std::vector<double> probeSeconds;
    std::vector<double> httpSeconds;
    std::atomic<int> failures{0};
    const double cpuBefore = Sample(*metrics, "process_cpu_seconds_total").value_or(0);
    const auto start = SteadyClock::now();
    std::vector<std::thread> clients;
    for (int r = 0; r < racks; ++r)
        clients.emplace_back([&, r] {
            const std::string target = "/probe?target=127.0.0.1%3A" + std::to_string(gateways[r]->Port());
            for (int k = 0; k < rounds; ++k) {
                std::this_thread::sleep_until(
                    start + std::chrono::duration<double>(interval * k + interval * r / racks));
                const auto t0 = SteadyClock::now();
                const auto body = Get(port, target);
                const double http = std::chrono::duration<double>(SteadyClock::now() - t0).count();
                const auto success = body ? Sample("\n" + *body, "kaptiv_probe_success") : std::nullopt;
                const auto duration =
                    body ? Sample("\n" + *body, "kaptiv_probe_duration_seconds") : std::nullopt;
                std::lock_guard lock(mutex);
                if (!success || *success != 1 || !duration) {
                    ++failures;
                    continue;
                }
                probeSeconds.push_back(duration.value_or(0));
                httpSeconds.push_back(http);
            }
        });
    for (auto& c : clients)
        c.join();
    const double wall = interval * rounds;
    std::this_thread::sleep_until(start + std::chrono::duration<double>(wall));
    metrics = Get(port, "/metrics");
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    if (!metrics)
        return 1;
    const double cpu = Sample(*metrics, "process_cpu_seconds_total").value_or(0) - cpuBefore;
    const double rss = Sample(*metrics, "process_resident_memory_bytes").value_or(0);
    const double probes = static_cast<double>(probeSeconds.size());
    std::printf("exporter_bench: %d racks, interval %.1f s, %d rounds: %.0f probes, %d failed\n", racks,
                interval, rounds, probes, failures.load());
    std::printf(
        "probe over the gateway: p50 %.1f ms  p95 %.1f ms  (HTTP round trip p50 %.1f ms  p95 %.1f ms)\n",
        Percentile(probeSeconds, 0.5) * 1e3, Percentile(probeSeconds, 0.95) * 1e3,
        Percentile(httpSeconds, 0.5) * 1e3, Percentile(httpSeconds, 0.95) * 1e3);
    std::printf("exporter CPU: %.3f s for %.0f probes (%.2f ms a probe) = %.2f %% of one core at %.1f s;"
                " at a 15 s interval: %.2f %%\n",
                cpu, probes, probes > 0 ? cpu / probes * 1e3 : 0, cpu / wall * 100, interval,
                probes > 0 ? cpu / probes * racks / 15.0 * 100 : 0);
    std::printf("exporter RSS: %.1f MB\n", rss / 1e6);
    const int serial = SerialRound();
    return failures.load() == 0 && serial == 0 ? 0 : 1;
}
