// A CAM main menu asked for and read from the simulated CI module, traced, and the trace shown:
// the simulator's own link records and packets come out as EN 50221 objects, none of them
// taken for damaged, a packet spread over two read-data answers put together again.
#include "cam/MmiCodec.h"
#include "link/CommandSet.h"
#include "link/LinkTrace.h"
#include "platform/ModuleType.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"
#include "tools/TraceShow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace kaptiv;

TEST(CamTrace, TheSimulatedMainMenuDecodesAsMmiObjects) {
    platform::ManualClock clock;
    mulvane::RackEngine engine{mulvane::DemoRack(), 7};
    mulvane::SerialLine line{&engine};
    link::CXmit xmit{clock};
    link::CommandSet commands{xmit};
    const std::string path = ::testing::TempDir() + "cam_trace_" + std::to_string(::getpid()) + ".txt";
    std::string error;
    auto trace = link::AttachTrace(xmit, clock, path, error);
    ASSERT_TRUE(trace) << error;
    xmit.SetPortOpener(link::TraceOpener(std::make_unique<test::SimOpener>(clock, line, 0), trace.get()));
    ASSERT_TRUE(xmit.OpenLink());

    constexpr uint8_t kCi = 11;
    ASSERT_EQ(commands.Identify(kCi), type::kCommonInterface);
    int length = 0;
    for (int i = 0; i < 40; ++i) {
        const uint8_t* status = commands.ReadStatus(kCi, length);
        ASSERT_NE(status, nullptr);
        if (status[0] == 2)
            break;
        clock.Advance(100);
    }
    commands.WriteData(kCi, cam::MainMenuRequest());
    for (int i = 0; i < 10; ++i) {
        clock.Advance(100);
        const uint8_t* data = nullptr;
        commands.ReadData(kCi, data, length);
    }
    trace.reset();

    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    std::string out;
    EXPECT_EQ(tools::ShowTrace(text, out), 0);
    EXPECT_NE(out.find("\"object\": \"enter_menu\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"object\": \"menu_last\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"object\": \"text_last\""), std::string::npos) << out;
    EXPECT_EQ(out.find("\"error\""), std::string::npos) << out;
    EXPECT_EQ(out.find("\"incomplete\""), std::string::npos) << "every packet was read to its end";
    EXPECT_NE(out.find("\"held_for_next_answer\""), std::string::npos) << "a packet ran over two answers";
    EXPECT_NE(out.find("\"continued\""), std::string::npos);
    EXPECT_EQ(out.find("the trace ends inside a CAM packet"), std::string::npos);
}
