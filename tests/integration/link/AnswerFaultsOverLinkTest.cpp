// The exchange against answers that arrive cut short, one byte at a time or from another
// bus address, over a real pseudo-terminal and over loopback TCP to the simulated gateway.
// Real time, short bounded deadlines.
#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/PtyServer.h"
#include "sim/Rack.h"
#include "tests/support/RecordingIndicators.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::link;
using mulvane::AnswerFault;

namespace {

constexpr uint8_t kIdentify = 0x10;
constexpr uint8_t kReadParameters = 0x70;

struct FaultyAnswers : ::testing::TestWithParam<const char*> {
    platform::RealClock clock;
    platform::EventLoop loop{clock};
    mulvane::RackEngine engine{mulvane::DemoRack(), 11};
    std::unique_ptr<mulvane::PtyServer> pty;
    std::unique_ptr<mulvane::GatewayServer> gateway;
    CSSocket socket{loop};
    test::RecordingIndicators lamps;
    CXmit xmit{clock};

    bool Serial() const { return std::string(GetParam()) == "serial"; }

    void SetUp() override {
        xmit.SetIndicators(&lamps);
        std::string error;
        if (Serial()) {
            pty = std::make_unique<mulvane::PtyServer>(&engine, mulvane::PtyOptions{});
            ASSERT_TRUE(pty->Start(error)) << error;
            xmit.SetPortOpener(
                std::make_unique<DeviceListOpener>(clock, std::vector<std::string>{pty->SlavePath()}));
        } else {
            gateway = std::make_unique<mulvane::GatewayServer>(engine);
            ASSERT_TRUE(gateway->Start(error)) << error;
            xmit.SetGateway(&socket);
            socket.ConnectTo("127.0.0.1", gateway->Port());
            const int64_t end = clock.NowMs() + 3000;
            while (!xmit.IsGatewayLinkUp() && clock.NowMs() < end)
                loop.RunOnce(10);
            ASSERT_TRUE(xmit.IsGatewayLinkUp());
        }
        ASSERT_TRUE(xmit.OpenLink());
    }
    // The time-out of an exchange in the unit of the transport.
    int Timeout(int ms) const { return Serial() ? ms / 10 : ms / 100; }

    // One exchange without data; the answer bytes when it succeeded.
    std::optional<std::vector<uint8_t>> Ask(uint8_t address, uint8_t command, int timeoutMs) {
        if (!xmit.Exchange(0, address, command, nullptr, Timeout(timeoutMs)))
            return std::nullopt;
        return std::vector<uint8_t>(xmit.AnswerData(), xmit.AnswerData() + xmit.AnswerLength());
    }
    // A module with a parameter block long enough to show the bytes arrive whole.
    mulvane::ModuleConfig ModuleWithBlock() const {
        for (const auto& m : engine.Config().modules)
            if (m.block.size() >= 40)
                return m;
        ADD_FAILURE() << "no module with a parameter block";
        return {};
    }
};

} // namespace

TEST_P(FaultyAnswers, TruncatedAnswerFailsAndLeavesNothingForTheNextExchange) {
    const auto module = ModuleWithBlock();
    const auto clean = Ask(module.address, kIdentify, 1000);
    ASSERT_TRUE(clean);

    engine.GetFaults().InjectAnswerFault(AnswerFault::Truncated, 1);
    EXPECT_FALSE(Ask(module.address, kReadParameters, 300));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Timeout);
    EXPECT_EQ(xmit.AnswerLength(), 0);
    EXPECT_TRUE(xmit.IsLinkLost());
    EXPECT_EQ(lamps.calls.back(), "arm");

    // The cut answer's bytes are not read into the next answer.
    xmit.ClearLinkLost();
    EXPECT_EQ(Ask(module.address, kIdentify, 1000), clean);
    EXPECT_EQ(Ask(module.address, kReadParameters, 1000), engine.CurrentBlock(module.address));
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_P(FaultyAnswers, AnswerDeliveredByteByByteArrivesWhole) {
    const auto module = ModuleWithBlock();
    const auto clean = Ask(module.address, kIdentify, 1000);
    ASSERT_TRUE(clean);

    engine.GetFaults().InjectAnswerFault(AnswerFault::ByteByByte, 2);
    EXPECT_EQ(Ask(module.address, kIdentify, 3000), clean);
    const auto block = Ask(module.address, kReadParameters, 3000);
    ASSERT_TRUE(block) << ToText(xmit.LastResult());
    EXPECT_EQ(*block, engine.CurrentBlock(module.address));
    EXPECT_EQ(xmit.AnswerControl() & 0xF0, 0xF0);
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_P(FaultyAnswers, AnswerFromAnotherAddressIsNotTakenAsTheAnswer) {
    const auto module = ModuleWithBlock();
    const auto clean = Ask(module.address, kIdentify, 1000);
    ASSERT_TRUE(clean);

    engine.GetFaults().InjectAnswerFault(AnswerFault::OtherAddress, 1);
    EXPECT_FALSE(Ask(module.address, kIdentify, 300));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Timeout);
    EXPECT_EQ(xmit.AnswerLength(), 0);
    EXPECT_EQ(
        lamps.calls[lamps.calls.size() - 2], "notice:LME#" + [&] {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", module.address);
            return std::string(hex);
        }());

    xmit.ClearLinkLost();
    EXPECT_EQ(Ask(module.address, kIdentify, 1000), clean);
}

TEST_P(FaultyAnswers, AnswerThatBeganInTimeIsReadToItsEndPastTheDeadline) {
    mulvane::ModuleConfig module;
    for (const auto& m : engine.Config().modules)
        if (m.block.size() > module.block.size())
            module = m;
    // One byte a millisecond at best: the answer takes longer than the 100 ms deadline.
    ASSERT_GE(module.block.size(), 200u);
    engine.GetFaults().InjectAnswerFault(AnswerFault::ByteByByte, 1);
    const auto block = Ask(module.address, kReadParameters, 100);
    ASSERT_TRUE(block) << ToText(xmit.LastResult());
    EXPECT_EQ(*block, engine.CurrentBlock(module.address));
    // The exchanges after it are in step.
    const auto identify = Ask(module.address, kIdentify, 1000);
    ASSERT_TRUE(identify);
    EXPECT_EQ((*identify)[0], CXmit::kIdentifyMark);
    EXPECT_EQ(Ask(module.address, kReadParameters, 1000), engine.CurrentBlock(module.address));
}

INSTANTIATE_TEST_SUITE_P(Transports, FaultyAnswers, ::testing::Values("serial", "gateway"),
                         [](const auto& info) { return std::string(info.param); });
