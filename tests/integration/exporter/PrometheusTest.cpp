// kaptiv-exporter under a real Prometheus (Debian's prometheus package): Prometheus on
// loopback probes three simulated racks through the exporter, with the shipped rules. After
// two scrapes the twin tuner's input A is locked with the level the simulator holds; then
// the control command "antenna 10 A lost" (the one mulvane-sim's --control and --scenario
// take) takes input A's antenna away on one rack, the value drops to 0 at the next scrape
// and the alert KaptivTunerInputNoLock becomes pending. Everything started is stopped.
//
// A plain program: exit 0 passed, 1 failed, 77 skipped (no prometheus). Bounded to about a
// minute by its own deadlines.
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/Rack.h"
#include "sim/Scenario.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kTwinTuner = 10;
constexpr int kLevels[3] = {61, 62, 63}; // input A of each rack, held by the simulator

int g_failures = 0;
void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    if (!ok)
        ++g_failures;
}

std::optional<std::string> FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    dirs += ":/usr/bin:/usr/sbin";
    size_t at = 0;
    while (at <= dirs.size()) {
        const size_t colon = dirs.find(':', at);
        const std::string dir = dirs.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
        const std::string candidate = dir + "/" + name;
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos)
            break;
        at = colon + 1;
    }
    return std::nullopt;
}

uint16_t FreePort() {
    asio::io_context ioc;
    tcp::acceptor acceptor(ioc, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    return acceptor.local_endpoint().port();
}

// A child process, stopped (SIGTERM, then SIGKILL after 5 s) when it goes out of scope.
class Child {
public:
    Child(const std::vector<std::string>& args, const std::string& logPath) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { Stop(); }
    bool Running() const { return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0; }
    void Stop() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (Clock::now() > until) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

std::optional<std::string> HttpGet(uint16_t port, const std::string& target) {
    try {
        asio::io_context ioc;
        beast::tcp_stream stream(ioc);
        stream.expires_after(std::chrono::seconds(5));
        stream.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        http::request<http::empty_body> request(http::verb::get, target, 11);
        request.set(http::field::host, "127.0.0.1");
        http::write(stream, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(stream, buffer, response);
        beast::error_code ec;
        stream.socket().shutdown(tcp::socket::shutdown_both, ec);
        if (response.result() != http::status::ok)
            return std::nullopt;
        return response.body();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string Escape(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c == '.' || c == '-')
            out.push_back(static_cast<char>(c));
        else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

// The vector result of an instant query: (labels, value) per series; nothing on failure.
using Series = std::vector<std::pair<nlohmann::json, double>>;
std::optional<Series> Query(uint16_t port, const std::string& promql) {
    const auto body = HttpGet(port, "/api/v1/query?query=" + Escape(promql));
    if (!body)
        return std::nullopt;
    const auto json = nlohmann::json::parse(*body, nullptr, false);
    if (json.is_discarded() || json.value("status", "") != "success")
        return std::nullopt;
    Series out;
    for (const auto& r : json["data"]["result"])
        out.emplace_back(r["metric"], std::stod(r["value"][1].get<std::string>()));
    return out;
}

bool WaitFor(int seconds, const std::function<bool()>& done) {
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < until) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

struct SimRack {
    mulvane::RackEngine engine{mulvane::DemoRack(), 11};
    mulvane::GatewayServer gateway{engine};
    std::string Target() const { return "127.0.0.1:" + std::to_string(gateway.Port()); }
};

bool Control(SimRack& rack, const std::string& command) {
    std::string error;
    const bool ok = mulvane::ApplyControlCommand(rack.engine, command, 0, error);
    if (!ok)
        std::printf("control '%s': %s\n", command.c_str(), error.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s KAPTIV_EXPORTER RULES_FILE\n", argv[0]);
        return 2;
    }
    const auto prometheus = FindProgram("prometheus");
    if (!prometheus) {
        std::puts("prometheus is missing (scripts/install-deps.sh installs Debian's prometheus): skipped");
        return 77;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("kaptiv-prometheus-" + std::to_string(getpid()));
    std::filesystem::create_directories(work / "data");

    std::array<std::unique_ptr<SimRack>, 3> racks;
    for (size_t i = 0; i < racks.size(); ++i) {
        racks[i] = std::make_unique<SimRack>();
        std::string error;
        if (!racks[i]->gateway.Start(error)) {
            std::printf("FAILED: simulated gateway: %s\n", error.c_str());
            return 1;
        }
        Control(*racks[i], "level 10 A " + std::to_string(kLevels[i]));
    }

    const uint16_t exporterPort = FreePort();
    const uint16_t prometheusPort = FreePort();
    {
        std::ofstream config(work / "prometheus.yml");
        config << "global:\n  scrape_interval: 1s\n  scrape_timeout: 900ms\n  evaluation_interval: 1s\n"
               << "rule_files:\n  - " << std::filesystem::absolute(argv[2]).string() << "\n"
               << "scrape_configs:\n  - job_name: kaptiv\n    metrics_path: /probe\n    static_configs:\n"
               << "      - targets: [" << racks[0]->Target() << ", " << racks[1]->Target() << ", "
               << racks[2]->Target() << "]\n"
               << "    relabel_configs:\n"
               << "      - source_labels: [__address__]\n        target_label: __param_target\n"
               << "      - source_labels: [__param_target]\n        target_label: instance\n"
               << "      - target_label: __address__\n        replacement: 127.0.0.1:" << exporterPort
               << "\n";
    }
    Child exporter({argv[1], "--web.listen-address", "127.0.0.1:" + std::to_string(exporterPort)},
                   (work / "exporter.log").string());
    Child server({*prometheus, "--config.file=" + (work / "prometheus.yml").string(),
                  "--storage.tsdb.path=" + (work / "data").string(),
                  "--web.listen-address=127.0.0.1:" + std::to_string(prometheusPort)},
                 (work / "prometheus.log").string());

    const std::string locked = "kaptiv_tuner_input_locked{module=\"RkSat2.0\",input=\"A\"}";
    const bool scraped = WaitFor(40, [&] {
        const auto s = Query(prometheusPort, "count_over_time(" + locked + "[1m])");
        if (!s || s->size() != 3)
            return false;
        for (const auto& [labels, count] : *s)
            if (count < 2)
                return false;
        return true;
    });
    Check(scraped, "Prometheus scraped the three racks twice through kaptiv-exporter");
    if (scraped) {
        const auto values = Query(prometheusPort, locked);
        Check(values && values->size() == 3, "input A of the RkSat2.0 of every rack is reported");
        if (values)
            for (const auto& [labels, value] : *values)
                Check(value == 1, "input A locked on " + labels.value("instance", "?"));
        for (size_t i = 0; i < racks.size(); ++i) {
            const auto level =
                Query(prometheusPort, "kaptiv_tuner_input_level{module=\"RkSat2.0\",input=\"A\","
                                      "instance=\"" +
                                          racks[i]->Target() + "\"}");
            Check(level && level->size() == 1 && level->at(0).second == kLevels[i],
                  "level of input A on rack " + std::to_string(i + 1) + " is the simulator's " +
                      std::to_string(kLevels[i]));
        }

        Control(*racks[0], "antenna 10 A lost");
        const std::string lost = "kaptiv_tuner_input_locked{module=\"RkSat2.0\",input=\"A\",instance=\"" +
                                 racks[0]->Target() + "\"}";
        const auto lostAt = Clock::now();
        const bool dropped = WaitFor(10, [&] {
            const auto s = Query(prometheusPort, lost);
            return s && s->size() == 1 && s->at(0).second == 0;
        });
        const double seconds = std::chrono::duration<double>(Clock::now() - lostAt).count();
        Check(dropped, "input A drops to 0 at the next scrape (after " + std::to_string(seconds) + " s)");
        Check(dropped && seconds < 3.5, "within about two scrape intervals");
        const bool pending = WaitFor(10, [&] {
            const auto s =
                Query(prometheusPort, "ALERTS{alertname=\"KaptivTunerInputNoLock\",alertstate=\"pending\"}");
            return s && s->size() == 1 && s->at(0).first.value("instance", "") == racks[0]->Target() &&
                   s->at(0).first.value("input", "") == "A";
        });
        Check(pending, "the alert KaptivTunerInputNoLock is pending for that rack's input A");
        if (!pending)
            if (const auto body = HttpGet(prometheusPort, "/api/v1/query?query=ALERTS"))
                std::printf("ALERTS: %s\n", body->c_str());
        const auto others = Query(prometheusPort, locked + " == 1");
        Check(others && others->size() == 2, "the two other racks stay locked");
    } else {
        std::printf("exporter running: %d, prometheus running: %d; logs in %s\n", exporter.Running(),
                    server.Running(), work.c_str());
    }
    server.Stop();
    exporter.Stop();
    for (auto& rack : racks)
        rack->gateway.Stop();
    if (g_failures == 0) {
        std::error_code ec;
        std::filesystem::remove_all(work, ec);
    } else {
        std::printf("logs kept in %s\n", work.c_str());
    }
    return g_failures == 0 ? 0 : 1;
}
