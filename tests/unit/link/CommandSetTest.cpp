#include "link/CommandSet.h"
#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/FrameDecode.h"
#include "tests/support/RecordingIndicators.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::link;
using platform::HexDump;
using test::ModuleAnswer;

namespace {

struct CommandFixture : ::testing::Test {
    platform::ManualClock clock;
    std::shared_ptr<test::SerialScript> script = std::make_shared<test::SerialScript>();
    test::RecordingIndicators lamps;
    CXmit xmit{clock};
    CommandSet commands{xmit};

    void SetUp() override {
        xmit.SetIndicators(&lamps);
        xmit.SetPortOpener(std::make_unique<test::FakeOpener>(clock, script, std::vector<int>{0}));
        script->answers.push_back(ModuleAnswer(0x00, 0xF0, {0x77, 0x00, 23}));
        ASSERT_TRUE(xmit.OpenLink());
        script->writes.clear();
        lamps.calls.clear();
    }
    test::SentFrame LastSent() {
        EXPECT_FALSE(script->writes.empty());
        std::vector<uint8_t> wire;
        for (const auto& piece : script->writes)
            wire.insert(wire.end(), piece.begin(), piece.end());
        auto f = test::DecodeSentFrame(wire);
        EXPECT_TRUE(f.has_value());
        return f.value_or(test::SentFrame{});
    }
};

struct PayloadCase {
    const char* name;
    std::function<void(CommandSet&)> call;
    uint8_t command;
    const char* payload;
    int timeoutMs; // measured on the serial line when nothing answers
    bool write;
};

} // namespace

TEST_F(CommandFixture, EveryOperationSendsItsPayloadWithItsTimeoutAndWriteFlag) {
    const uint8_t two[] = {0xAB, 0xCD};
    const std::vector<PayloadCase> cases = {
        {"Identify", [](CommandSet& c) { c.Identify(5); }, 0x10, "", 100, false},
        {"ReadStatus",
         [](CommandSet& c) {
             int n;
             c.ReadStatus(5, n);
         },
         0x40, "", 1000, false},
        {"WriteData", [&](CommandSet& c) { c.WriteData(5, two); }, 0x50, "AB CD", 5000, true},
        {"ReadData",
         [](CommandSet& c) {
             const uint8_t* p;
             int n;
             c.ReadData(5, p, n);
         },
         0x60, "", 1000, false},
        {"ReadParameters",
         [](CommandSet& c) {
             uint16_t n;
             uint8_t b[16];
             c.ReadParameters(5, n, b);
         },
         0x70, "", 100, false},
        {"Execute", [](CommandSet& c) { c.Execute(5); }, 0x80, "", 1000, true},
        {"ExecuteText", [](CommandSet& c) { c.ExecuteText(5, "ls"); }, 0x80, "6C 73 00", 50000, true},
        {"ReadNameList",
         [](CommandSet& c) {
             const uint8_t* p;
             int n;
             c.ReadNameList(5, p, n);
         },
         0x90, "", 1000, false},
        {"OpenByName", [](CommandSet& c) { c.OpenByName(5, "a.ts"); }, 0xA0, "01 61 2E 74 73 00", 2000,
         false},
        {"CreateByName", [](CommandSet& c) { c.CreateByName(5, "abcde"); }, 0xA0, "00 61 62 63 64 65 00",
         2000, true},
        {"CloseLong", [](CommandSet& c) { c.CloseLong(5); }, 0xA0, "02", 50000, false},
        {"WriteForm4", [&](CommandSet& c) { c.WriteForm4(5, two); }, 0xA0, "04 AB CD", 5000, true},
        {"ReadBlock",
         [](CommandSet& c) {
             uint8_t b[8];
             c.ReadBlock(5, 0x0123, b);
         },
         0xA0, "03 01 23", 5000, false},
        {"ReadBlock8",
         [](CommandSet& c) {
             uint8_t b[8];
             c.ReadBlock8(5, b);
         },
         0xA0, "03 00 08", 5000, false},
        {"SetOption", [](CommandSet& c) { c.SetOption(5, 7); }, 0xA0, "06 07 00", 5000, false},
        {"OpenByNumber", [](CommandSet& c) { c.OpenByNumber(5, 0x1234); }, 0xA0, "01 12 34", 5000, false},
        {"CreateByNumber", [](CommandSet& c) { c.CreateByNumber(5, 0x1234); }, 0xA0, "00 12 34", 5000, true},
        {"Close", [](CommandSet& c) { c.Close(5); }, 0xA0, "02", 5000, false},
        {"WriteForm5", [&](CommandSet& c) { c.WriteForm5(5, two); }, 0xA0, "05 AB CD", 5000, true},
        {"SetMode", [](CommandSet& c) { c.SetMode(5, 2); }, 0xB0, "02", 2000, false},
        {"FlashBegin", [](CommandSet& c) { c.FlashBegin(5); }, 0xC0, "00", 2000, true},
        {"FlashWrite", [&](CommandSet& c) { c.FlashWrite(two, 0x012345, 5, false); }, 0xC0,
         "01 01 23 45 AB CD", 3000, true},
        {"FlashEnd", [](CommandSet& c) { c.FlashEnd(5); }, 0xC0, "02", 100000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        script->writes.clear();
        lamps.calls.clear();
        script->answers.push_back({}); // nobody answers: the time-out is measured
        xmit.ClearLinkLost();
        const int64_t before = clock.NowMs();
        c.call(commands);
        const auto sent = LastSent();
        EXPECT_EQ(sent.destination, 5);
        EXPECT_EQ(sent.control & 0xF0, c.command);
        EXPECT_EQ(HexDump(sent.data), c.payload);
        EXPECT_EQ(clock.NowMs() - before, c.timeoutMs);
        ASSERT_FALSE(lamps.calls.empty());
        EXPECT_EQ(lamps.calls.front(), c.write ? "light+write" : "light");
    }
}

TEST_F(CommandFixture, IdentifyFillsTheOptionalResultsByAnswerLength) {
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {0x77, 4, 23}));
    IdentifyResults r;
    r.hardwareRevision = 9;
    EXPECT_EQ(commands.Identify(5, &r), 4);
    EXPECT_EQ(r.release, 23);
    EXPECT_EQ(r.hardwareRevision, 0);
    EXPECT_EQ(r.wantedPersonality, 255);
    EXPECT_EQ(r.runningPersonality, 255);
    EXPECT_EQ(r.extraStatus, 0);

    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {0x77, 5, 31, 2, 1, 0, 0x40}));
    EXPECT_EQ(commands.Identify(5, &r), 5);
    EXPECT_EQ(r.hardwareRevision, 2);
    EXPECT_EQ(r.wantedPersonality, 1);
    EXPECT_EQ(r.runningPersonality, 0);
    EXPECT_EQ(r.extraStatus, 0x40);

    // Not an identification answer: no type, but the results are still filled.
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {0x55, 5, 12, 3}));
    EXPECT_EQ(commands.Identify(5, &r), 255);
    EXPECT_EQ(r.release, 12);
    EXPECT_EQ(r.hardwareRevision, 3);
}

TEST_F(CommandFixture, ErasedFlashBlocksAreSkippedUnlessForced) {
    const std::vector<uint8_t> erased(256, 0xFF);
    EXPECT_TRUE(commands.FlashWrite(erased, 0x10000, 5, false));
    EXPECT_TRUE(script->writes.empty());
    EXPECT_TRUE(commands.FlashWrite({}, 0x10000, 5, false));
    EXPECT_TRUE(script->writes.empty());

    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {}));
    EXPECT_TRUE(commands.FlashWrite(erased, 0x10000, 5, true));
    EXPECT_EQ(LastSent().data.size(), 260u);
}

TEST_F(CommandFixture, RestartAllIsABroadcastThatAwaitsNothing) {
    const int64_t before = clock.NowMs();
    commands.RestartAll();
    const auto sent = LastSent();
    EXPECT_EQ(sent.destination, 0xFF);
    EXPECT_EQ(HexDump(sent.data), "03");
    EXPECT_EQ(sent.control & 0xF0, 0xC0);
    EXPECT_EQ(clock.NowMs(), before);
}

TEST_F(CommandFixture, ReadDataOnASilentModulePointsAtTheAnswerArea) {
    script->answers.push_back({});
    const uint8_t* data = nullptr;
    int length = -1;
    EXPECT_EQ(commands.ReadData(5, data, length), 0);
    EXPECT_EQ(data, xmit.AnswerData());
}

TEST_F(CommandFixture, TextsOver256BytesAreRefusedWithoutSending) {
    const std::string name(254, 'x'); // sub-code + 254 + ending 0 = 256: fits
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {}));
    EXPECT_TRUE(commands.CreateByName(5, name));
    script->writes.clear();
    EXPECT_FALSE(commands.CreateByName(5, name + "y"));
    EXPECT_EQ(commands.OpenByName(5, name + "y"), CommandSet::kNoHandle);
    EXPECT_FALSE(commands.ExecuteText(5, std::string(256, 'z')));
    EXPECT_TRUE(script->writes.empty());
}

TEST_F(CommandFixture, ParameterBlockLargerThanTheBufferIsRefusedNotCut) {
    std::vector<uint8_t> block(40, 0x5A);
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, block));
    uint8_t small[32];
    uint16_t length = 99;
    EXPECT_FALSE(commands.ReadParameters(5, length, small));
    EXPECT_EQ(length, 0);

    script->answers.push_back(ModuleAnswer(0x05, 0xF0, block));
    uint8_t enough[1024];
    EXPECT_TRUE(commands.ReadParameters(5, length, enough));
    EXPECT_EQ(length, 40);
    EXPECT_EQ(enough[39], 0x5A);
}

TEST_F(CommandFixture, OpenByNameReturnsTheBigEndianHandle) {
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {0x00, 0x01, 0x02, 0x03}));
    EXPECT_EQ(commands.OpenByName(5, "f"), 0x00010203u);
    script->answers.push_back({});
    EXPECT_EQ(commands.OpenByName(5, "f"), CommandSet::kNoHandle);
}
