// kaptiv-config rack list: finds the rack through a gateway or the serial bus and lists its
// modules as the rack controller reports them, each identified on its own.
#include "link/CSSocket.h"
#include "link/CommandSet.h"
#include "link/LinkTrace.h"
#include "platform/EventLoop.h"
#include "platform/SerialPort.h"
#include "tools/Commands.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace kaptiv::tools {

namespace {

constexpr int64_t kSessionWaitMs = 5000;
constexpr size_t kModuleListEntrySize = 3; // address, type, one byte not used

int Usage() {
    std::fputs("usage: kaptiv-config rack list (--gateway HOST:PORT | --serial DEV[,DEV...])\n", stderr);
    return 2;
}

void PrintModule(link::CommandSet& commands, uint8_t address, int listedType) {
    link::IdentifyResults r;
    const uint8_t type = commands.Identify(address, &r);
    if (type == link::CommandSet::kNoModuleType) {
        std::printf("%7u  %4s  %-7s  %s\n", address,
                    listedType >= 0 ? std::to_string(listedType).c_str() : "-", "-",
                    "no identification answer");
        return;
    }
    std::printf("%7u  %4u  %d.%-5d  hw %u%s\n", address, type, r.release / 10, r.release % 10,
                r.hardwareRevision,
                listedType >= 0 && listedType != type ? "  (the module list says another type)" : "");
}

int ListRack(link::CXmit& xmit) {
    if (!xmit.OpenLink()) {
        std::fputs("kaptiv-config: no rack answered\n", stderr);
        return 1;
    }
    link::CommandSet commands(xmit);
    std::printf("address  type  release  hardware\n");
    PrintModule(commands, link::kControllerAddress, 0);
    std::vector<uint8_t> list;
    {
        std::lock_guard<std::recursive_mutex> lock(xmit.ExchangeLock());
        const uint8_t* data = nullptr;
        int length = 0;
        const uint16_t n = commands.ReadData(link::kControllerAddress, data, length);
        if (n == 0 && xmit.LastResult() != link::LinkResult::Ok) {
            std::fprintf(stderr, "kaptiv-config: the module list could not be read (%s)\n",
                         link::ToText(xmit.LastResult()));
            return 1;
        }
        list.assign(data, data + n);
    }
    for (size_t i = 0; i + kModuleListEntrySize <= list.size(); i += kModuleListEntrySize)
        PrintModule(commands, list[i], list[i + 1]);
    return 0;
}

bool ParseHostPort(const std::string& text, std::string& host, uint16_t& port) {
    const auto colon = text.rfind(':');
    char* end = nullptr;
    const long value = colon == std::string::npos ? -1 : std::strtol(text.c_str() + colon + 1, &end, 10);
    if (value <= 0 || value > 65535 || *end != '\0')
        return false;
    host = text.substr(0, colon);
    port = static_cast<uint16_t>(value);
    return true;
}

} // namespace

std::optional<std::vector<uint8_t>> RackTypesThroughGateway(const std::string& hostPort, std::string& error) {
    std::string host;
    uint16_t port = 0;
    if (!ParseHostPort(hostPort, host, port)) {
        error = "'" + hostPort + "' is not HOST:PORT";
        return std::nullopt;
    }
    platform::RealClock clock;
    link::CXmit xmit(clock);
    platform::EventLoop loop(clock);
    link::CSSocket socket(loop);
    bool traceFailed = false;
    const auto trace = StartTrace(xmit, clock, traceFailed);
    if (traceFailed) {
        error = "no trace";
        return std::nullopt;
    }
    if (trace)
        trace->SetGateway(&socket);
    xmit.SetGateway(&socket);
    socket.ConnectTo(host, port);
    const int64_t deadline = clock.NowMs() + kSessionWaitMs;
    while (!xmit.IsGatewayLinkUp() && clock.NowMs() < deadline)
        loop.RunOnce(50);
    if (!xmit.IsGatewayLinkUp() || !xmit.OpenLink()) {
        error = "no gateway session with a rack link at " + hostPort;
        return std::nullopt;
    }
    link::CommandSet commands(xmit);
    std::vector<uint8_t> list;
    {
        std::lock_guard<std::recursive_mutex> lock(xmit.ExchangeLock());
        const uint8_t* data = nullptr;
        int length = 0;
        const uint16_t n = commands.ReadData(link::kControllerAddress, data, length);
        if (n == 0 && xmit.LastResult() != link::LinkResult::Ok) {
            error =
                std::string("the module list could not be read (") + link::ToText(xmit.LastResult()) + ")";
            return std::nullopt;
        }
        list.assign(data, data + n);
    }
    std::vector<uint8_t> types = {0};
    for (size_t i = 0; i + kModuleListEntrySize <= list.size(); i += kModuleListEntrySize) {
        const uint8_t identified = commands.Identify(list[i], nullptr);
        types.push_back(identified == link::CommandSet::kNoModuleType ? list[i + 1] : identified);
    }
    socket.Disconnect();
    return types;
}

int RunRackCommand(const std::vector<std::string>& args) {
    if (args.size() != 3 || args[0] != "list")
        return Usage();
    platform::RealClock clock;
    link::CXmit xmit(clock);
    bool traceFailed = false;
    const auto trace = StartTrace(xmit, clock, traceFailed);
    if (traceFailed)
        return 1;
    if (args[1] == "--serial") {
        xmit.SetPortOpener(link::TraceOpener(
            std::make_unique<link::DeviceListOpener>(clock, platform::SplitDeviceList(args[2])),
            trace.get()));
        return ListRack(xmit);
    }
    if (args[1] != "--gateway")
        return Usage();
    const auto colon = args[2].rfind(':');
    char* end = nullptr;
    const long port = colon == std::string::npos ? -1 : std::strtol(args[2].c_str() + colon + 1, &end, 10);
    if (port <= 0 || port > 65535 || *end != '\0') {
        std::fprintf(stderr, "kaptiv-config: '%s' is not HOST:PORT\n", args[2].c_str());
        return 2;
    }
    platform::EventLoop loop(clock);
    link::CSSocket socket(loop);
    if (trace)
        trace->SetGateway(&socket);
    xmit.SetGateway(&socket);
    socket.ConnectTo(args[2].substr(0, colon), static_cast<uint16_t>(port));
    const int64_t deadline = clock.NowMs() + kSessionWaitMs;
    while (!xmit.IsGatewayLinkUp() && clock.NowMs() < deadline)
        loop.RunOnce(50);
    if (!xmit.IsGatewayLinkUp()) {
        std::fprintf(stderr, "kaptiv-config: no gateway session with a rack link at %s\n", args[2].c_str());
        return 1;
    }
    const int rc = ListRack(xmit);
    socket.Disconnect();
    return rc;
}

} // namespace kaptiv::tools
