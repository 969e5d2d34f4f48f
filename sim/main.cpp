// mulvane-sim: a simulated MULVANE rack on a gateway TCP port and, optionally, a serial pty.
// Output lines "gateway: HOST:PORT" and "serial: PATH" are read by scripts; keep them stable.
#include "platform/FileAccess.h"
#include "sim/AnswerFaults.h"
#include "sim/ConfigFileRack.h"
#include "sim/Engine.h"
#include "sim/FirmwareFolder.h"
#include "sim/GatewayServer.h"
#include "sim/PtyServer.h"
#include "sim/Rack.h"
#include "sim/Scenario.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr const char* kVersion = KAPTIV_VERSION;

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

void PrintHelp() {
    std::printf("usage: mulvane-sim [options]\n"
                "A simulated MULVANE headend rack reachable through a simulated IP gateway and,\n"
                "optionally, a pseudo-terminal serial bus. Runs until SIGINT or SIGTERM.\n\n"
                "  --rack FILE.json    rack description (default: the built-in demo rack)\n"
                "  --rack-from-config FILE.qvc\n"
                "                      a rack with the modules and blocks of a configuration file\n"
                "  --save-config-on-exit FILE.qvc\n"
                "                      at exit, write the modules' blocks as they are then to a\n"
                "                      configuration file\n"
                "  --gateway-port N    gateway TCP port on 127.0.0.1 (default 0: any free port)\n"
                "  --pty-link PATH     also expose the serial bus on a pty, with a symlink at PATH\n"
                "  --baud-limit        throttle the serial line to 115200 baud (11,520 bytes/s)\n"
                "  --seed N            seed of the simulator's randomness (default 1)\n"
                "  --answer-fault NAME[:N]\n"
                "                      deliver one answer in N (default: every answer) with a fault:\n"
                "                      truncated (the first half of its bytes only), byte-by-byte\n"
                "                      (each byte written on its own, 1 ms apart) or other-address\n"
                "                      (sent from another bus address); may be given more than once\n"
                "  --write-firmware DIR  write a firmware folder with updates for this rack into DIR\n"
                "                      (index QVX.FRM, newer releases, one personality change, an HD\n"
                "                      component); the modules then accept exactly these files\n"
                "  --scenario FILE     change modules' conditions at set times: lines \"SECONDS COMMAND\"\n"
                "                      (commands as for --control)\n"
                "  --control           read commands from standard input, one a line, applied at once:\n"
                "                      antenna ADDR A|B|C lost|back, level ADDR A|B|C N, cam ADDR\n"
                "                      removed|inserted, silent ADDR on|off, module ADDR removed|inserted\n"
                "  --one-session       the gateway serves one PC at a time; a second connection is\n"
                "                      closed at once\n"
                "  --help              this text\n"
                "  --version           the version\n\n"
                "Prints \"gateway: 127.0.0.1:PORT\" and, with --pty-link, \"serial: /dev/pts/N\".\n");
}

bool ParseNumber(const char* text, unsigned long long max, unsigned long long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && out <= max && text[0] != '-';
}

const char* TypeName(uint8_t type) {
    static const char* const names[] = {
        "controller",       "satellite tuner",  "COFDM 1 channel",  "common interface", "satellite tuner",
        "COFDM 2 channels", "COFDM 4 channels", "twin sat tuner",   "QAM 4 channels",   "A/V encoder",
        "twin sat tuner",   "QAM 2 channels",   "DVB-T/T2/C tuner", "IP streamer",      "HD encoder"};
    return type < sizeof names / sizeof names[0] ? names[type] : "?";
}

} // namespace

int main(int argc, char** argv) {
    std::string rackPath;
    std::string configPath;
    std::string saveConfigPath;
    std::string ptyLink;
    unsigned long long port = 0;
    unsigned long long seed = 1;
    bool baudLimit = false;
    std::string firmwareDir;
    std::vector<std::pair<mulvane::AnswerFault, int>> answerFaults;
    std::string scenarioPath;
    bool control = false;
    bool oneSession = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "mulvane-sim: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        } else if (arg == "--version") {
            std::printf("mulvane-sim %s\n", kVersion);
            return 0;
        } else if (arg == "--rack") {
            rackPath = value("--rack");
        } else if (arg == "--rack-from-config") {
            configPath = value("--rack-from-config");
        } else if (arg == "--save-config-on-exit") {
            saveConfigPath = value("--save-config-on-exit");
        } else if (arg == "--gateway-port") {
            if (!ParseNumber(value("--gateway-port"), 65535, port)) {
                std::fprintf(stderr, "mulvane-sim: --gateway-port needs a port number 0..65535\n");
                return 2;
            }
        } else if (arg == "--pty-link") {
            ptyLink = value("--pty-link");
        } else if (arg == "--write-firmware") {
            firmwareDir = value("--write-firmware");
        } else if (arg == "--answer-fault") {
            const std::string text = value("--answer-fault");
            const size_t colon = text.find(':');
            unsigned long long every = 1;
            auto fault = mulvane::AnswerFaultByName(std::string_view(text).substr(0, colon));
            if (!fault || (colon != std::string::npos &&
                           (!ParseNumber(text.c_str() + colon + 1, 1000000, every) || every == 0))) {
                std::fprintf(stderr, "mulvane-sim: --answer-fault needs one of %s, optionally :N (N >= 1)\n",
                             mulvane::kAnswerFaultNames);
                return 2;
            }
            answerFaults.emplace_back(*fault, static_cast<int>(every));
        } else if (arg == "--scenario") {
            scenarioPath = value("--scenario");
        } else if (arg == "--control") {
            control = true;
        } else if (arg == "--one-session") {
            oneSession = true;
        } else if (arg == "--baud-limit") {
            baudLimit = true;
        } else if (arg == "--seed") {
            if (!ParseNumber(value("--seed"), ~0ULL, seed)) {
                std::fprintf(stderr, "mulvane-sim: --seed needs a non-negative number\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "mulvane-sim: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }

    mulvane::RackConfig rack = mulvane::DemoRack();
    if (!rackPath.empty()) {
        std::string error;
        auto loaded = mulvane::LoadRackFile(rackPath, error);
        if (!loaded) {
            std::fprintf(stderr, "mulvane-sim: %s\n", error.c_str());
            return 1;
        }
        rack = std::move(*loaded);
    }
    if (!configPath.empty()) {
        std::string error;
        auto loaded = mulvane::RackFromConfigFile(configPath, error);
        if (!loaded) {
            std::fprintf(stderr, "mulvane-sim: %s\n", error.c_str());
            return 1;
        }
        rack = std::move(*loaded);
    }

    std::vector<mulvane::ScenarioEvent> scenario;
    if (!scenarioPath.empty()) {
        constexpr size_t kMaxScenarioBytes = 1 << 20;
        const auto file = kaptiv::platform::ReadRegularFile(scenarioPath, kMaxScenarioBytes);
        std::string error;
        auto parsed = file ? mulvane::ParseScenario(file.Text(), error) : std::nullopt;
        if (!parsed) {
            std::fprintf(stderr, "mulvane-sim: %s: %s\n", scenarioPath.c_str(),
                         file ? error.c_str() : file.error.c_str());
            return 1;
        }
        scenario = std::move(*parsed);
    }

    mulvane::FirmwarePlan firmware;
    if (!firmwareDir.empty()) {
        firmware = mulvane::PlanFirmware(rack);
        std::string error;
        if (!mulvane::WriteFirmwareFolder(firmware, firmwareDir, error)) {
            std::fprintf(stderr, "mulvane-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("firmware: %s\n", firmwareDir.c_str());
        for (const std::string& note : firmware.notes)
            std::printf("  %s\n", note.c_str());
    }

    std::printf("rack: %zu modules\n", rack.modules.size());
    std::printf("  slot  address  type  release  module\n");
    for (size_t slot = 0; slot < rack.modules.size(); ++slot) {
        const auto& m = rack.modules[slot];
        std::printf("  %4zu  %7u  %4u  %5d.%d  %s\n", slot, m.address, m.type, m.release / 10, m.release % 10,
                    TypeName(m.type));
    }

    mulvane::RackEngine engine(std::move(rack), seed);
    engine.GetFaults().ThrottleSerial(baudLimit);
    for (const auto& [fault, every] : answerFaults)
        engine.GetFaults().InjectAnswerFaultEvery(fault, every);
    mulvane::InstallFirmware(engine, firmware);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    mulvane::GatewayOptions gatewayOptions;
    gatewayOptions.port = static_cast<uint16_t>(port);
    gatewayOptions.maxSessions = oneSession ? 1 : 0;
    mulvane::GatewayServer gateway(engine, gatewayOptions, seed);
    std::string error;
    if (!gateway.Start(error)) {
        std::fprintf(stderr, "mulvane-sim: gateway: %s\n", error.c_str());
        return 1;
    }
    std::printf("gateway: 127.0.0.1:%u\n", gateway.Port());

    std::unique_ptr<mulvane::PtyServer> pty;
    if (!ptyLink.empty()) {
        mulvane::PtyOptions ptyOptions;
        ptyOptions.linkPath = ptyLink;
        pty = std::make_unique<mulvane::PtyServer>(&engine, ptyOptions);
        if (!pty->Start(error)) {
            std::fprintf(stderr, "mulvane-sim: serial: %s\n", error.c_str());
            return 1;
        }
        std::printf("serial: %s\n", pty->SlavePath().c_str());
    }
    std::fflush(stdout);

    mulvane::ScenarioConsole console(engine, std::move(scenario), control);
    while (!g_stop)
        console.Poll(100);

    if (pty)
        pty->Stop();
    gateway.Stop();
    if (!saveConfigPath.empty() && !mulvane::SaveRackAsConfig(engine, saveConfigPath, error)) {
        std::fprintf(stderr, "mulvane-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("stopped\n");
    return 0;
}
