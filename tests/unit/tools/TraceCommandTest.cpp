// kaptiv-config --trace and trace show as the support desk uses them: a rack listed through the
// simulated gateway over loopback (real time, one module silent for its 1 s time-out), the
// trace it leaves, and that trace shown decoded.
#include "link/CommandNames.h"
#include "link/LinkTrace.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/Rack.h"

#include "tests/unit/tools/ConfigCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace kaptiv;

namespace {

using kaptiv::testing::CommandRun;
using kaptiv::testing::RunConfig;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(TraceCommand, RackListThroughTheGatewayIsTracedAndShown) {
    const mulvane::RackConfig demo = mulvane::DemoRack();
    mulvane::RackEngine engine{demo, 3};
    const uint8_t silent = demo.modules[4].address; // the DVB-T/T2/C tuner
    engine.GetFaults().DropAllAnswersOf(silent);
    mulvane::GatewayServer gateway{engine};
    std::string error;
    ASSERT_TRUE(gateway.Start(error)) << error;
    const std::string hostPort = "127.0.0.1:" + std::to_string(gateway.Port());
    const std::string path = ::testing::TempDir() + "rack_list_trace_" + std::to_string(::getpid()) + ".txt";

    const CommandRun list = RunConfig("rack list --gateway " + hostPort + " --trace " + path);
    gateway.Stop();
    EXPECT_EQ(list.status, 0) << list.out;
    EXPECT_NE(list.out.find("no identification answer"), std::string::npos) << list.out;

    const link::TraceFile trace = link::ParseTrace(ReadAll(path));
    EXPECT_TRUE(trace.errors.empty());
    // The controller identified on opening and for its row, its list, then every module.
    ASSERT_EQ(trace.lines.size(), 3 + demo.modules.size() - 1);
    EXPECT_EQ(trace.lines[2].name, "ReadData");
    int timeouts = 0;
    for (const auto& line : trace.lines) {
        EXPECT_EQ(line.transport, "gateway:" + hostPort);
        if (line.result == link::LinkResult::Timeout) {
            ++timeouts;
            EXPECT_EQ(line.address, silent);
            EXPECT_EQ(line.name, "Identify");
        } else {
            EXPECT_EQ(line.result, link::LinkResult::Ok) << link::FormatTraceLine(line);
        }
    }
    EXPECT_EQ(timeouts, 1);

    const CommandRun show = RunConfig("trace show " + path);
    EXPECT_EQ(show.status, 0) << show.out;
    EXPECT_NE(show.out.find("module 0D (QVXCT2)  Identify  timeout"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("type 13 QVXIP, release 1.5"), std::string::npos);
    std::remove(path.c_str());
}

TEST(TraceCommand, RefusalsAreReportedNotIgnored) {
    const CommandRun unwritable =
        RunConfig("--trace /nonexistent-folder/t.txt rack list --gateway 127.0.0.1:1");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.out.find("cannot write the trace /nonexistent-folder/t.txt"), std::string::npos)
        << unwritable.out;
    EXPECT_EQ(RunConfig("rack list --trace").status, 2);
    EXPECT_EQ(RunConfig("trace show").status, 2);
    EXPECT_EQ(RunConfig("trace show /nonexistent-folder/t.txt").status, 1);

    const std::string path = ::testing::TempDir() + "bad_trace_" + std::to_string(::getpid()) + ".txt";
    {
        std::ofstream out(path);
        out << "# kaptiv link trace 1\nnot a line\n1 none 00 10 Identify no-link > - < -\n";
    }
    const CommandRun show = RunConfig("trace show " + path);
    EXPECT_EQ(show.status, 1);
    EXPECT_NE(show.out.find("line 2: not a trace line"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("line 3  +1 ms  none  module 00  Identify  no-link"), std::string::npos)
        << show.out;
    std::remove(path.c_str());
}
