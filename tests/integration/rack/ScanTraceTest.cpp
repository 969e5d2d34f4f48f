// The support trace of two scans of the simulated demo rack on the serial bus, on virtual
// time: one line for every exchange the scans made, in order, with the command set's names
// and each exchange's result, the simulator's dropped answer showing as a time-out.
#include "link/CXmit.h"
#include "link/CommandNames.h"
#include "link/CommandSet.h"
#include "link/LinkTrace.h"
#include "rack/Discovery.h"
#include "rack/FirmwareCheck.h"
#include "rack/RackImage.h"
#include "rack/ScanFeedback.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kaptiv;

namespace {

struct QuietWindows final : rack::ScanFeedback, rack::ScanHost {
    explicit QuietWindows(platform::ManualClock& clock) : clock(clock) {}
    platform::ManualClock& clock;
    void ShowMessage(const std::string&, int64_t, bool) override {}
    void WarningBeep(int, int) override {}
    platform::Clock& ScanClock() override { return clock; }
    void BeginScan() override {}
    void ClearModuleList() override {}
    void ShowModuleRow(size_t) override {}
    void HideDeviceChangeIndicator() override {}
    void RackConnected() override {}
    void EnableRackButtons() override {}
    void EndScan() override {}
};

std::string ReadAll(const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        while (const size_t n = std::fread(chunk, 1, sizeof chunk, f))
            text.append(chunk, n);
        std::fclose(f);
    }
    return text;
}

// "ADDRESS NAME RESULT" of a line, what the scan is checked by.
std::string Summary(const link::TraceLine& line) {
    char address[4];
    std::snprintf(address, sizeof address, "%02X", line.address);
    return std::string(address) + " " + line.name + " " + std::string(link::ResultToken(line.result));
}

} // namespace

TEST(ScanTrace, OneLinePerExchangeWithNamesAndResults) {
    platform::ManualClock clock;
    const mulvane::RackConfig demo = mulvane::DemoRack();
    mulvane::RackEngine engine{demo, 7};
    mulvane::SerialLine line{&engine};
    link::CXmit xmit{clock};
    link::CommandSet commands{xmit};
    QuietWindows windows{clock};
    rack::NoFirmwareCheck firmware;
    const std::string path = ::testing::TempDir() + "scan_trace_" + std::to_string(::getpid()) + ".txt";

    std::string error;
    auto trace = link::AttachTrace(xmit, clock, path, error);
    ASSERT_TRUE(trace) << error;
    xmit.SetPortOpener(link::TraceOpener(std::make_unique<test::SimOpener>(clock, line, 0), trace.get()));

    rack::RackImage image;
    {
        rack::Discovery scan(commands, image, windows, firmware, windows);
        ASSERT_EQ(scan.Run().outcome, rack::ScanOutcome::Connected);
    }
    // The fourth module stops answering: the second scan ends at its identification.
    const uint8_t silent = demo.modules[4].address;
    engine.GetFaults().DropAllAnswersOf(silent);
    {
        rack::Discovery scan(commands, image, windows, firmware, windows);
        ASSERT_EQ(scan.Run().outcome, rack::ScanOutcome::InactiveModule);
    }
    trace.reset(); // closes the file

    std::vector<std::string> expected;
    auto expect = [&](uint8_t address, const char* name, const char* result) {
        char text[64];
        std::snprintf(text, sizeof text, "%02X %s %s", address, name, result);
        expected.emplace_back(text);
    };
    // First scan: open the link, wake the controller, list, identify all, read all blocks.
    expect(0, "Identify", "ok");
    expect(0, "Identify", "ok");
    expect(0, "ReadData", "ok");
    for (const auto& m : demo.modules)
        expect(m.address, "Identify", "ok");
    for (const auto& m : demo.modules)
        expect(m.address, "ReadParameters", "ok");
    // Second scan, up to the silent module, which is asked twice; then every module is
    // restarted.
    expect(0, "Identify", "ok");
    expect(0, "Identify", "ok");
    expect(0, "ReadData", "ok");
    for (const auto& m : demo.modules) {
        if (m.address == silent) {
            expect(m.address, "Identify", "timeout");
            expect(m.address, "Identify", "timeout");
            break;
        }
        expect(m.address, "Identify", "ok");
    }
    expect(0xFF, "RestartAll", "ok");

    const link::TraceFile file = link::ParseTrace(ReadAll(path));
    std::remove(path.c_str());
    EXPECT_TRUE(file.errors.empty()) << file.errors.front().first << ": " << file.errors.front().second;
    std::vector<std::string> got;
    for (const auto& l : file.lines)
        got.push_back(Summary(l));
    EXPECT_EQ(got, expected);

    ASSERT_FALSE(file.lines.empty());
    const link::TraceLine& first = file.lines.front();
    EXPECT_EQ(first.transport, "serial:port0");
    EXPECT_TRUE(first.answered);
    EXPECT_EQ(first.answerControl, 0xF0);
    ASSERT_GE(first.answer.size(), 2u);
    EXPECT_EQ(first.answer[0], 0x77);
    EXPECT_EQ(first.answer[1], 0) << "the controller identifies as type 0";
    for (size_t i = 1; i < file.lines.size(); ++i)
        EXPECT_GE(file.lines[i].ms, file.lines[i - 1].ms) << "times run forward";
    const auto timedOut = std::find_if(file.lines.begin(), file.lines.end(),
                                       [](const auto& l) { return l.result == link::LinkResult::Timeout; });
    ASSERT_NE(timedOut, file.lines.end());
    EXPECT_FALSE(timedOut->answered);
    EXPECT_GE(timedOut->ms - (timedOut - 1)->ms, 100) << "the identification waited out its 100 ms";
}
