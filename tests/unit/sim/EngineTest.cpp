#include "sim/Engine.h"
#include "SimTestSupport.h"
#include "sim/Rack.h"

#include "platform/Bytes.h"

#include <gtest/gtest.h>

using namespace mulvane;
using kaptiv::platform::HexDump;

namespace {

ModuleConfig Module(uint8_t address, uint8_t type, uint8_t identifyLength = 7) {
    ModuleConfig m;
    m.address = address;
    m.type = type;
    m.release = 23;
    m.hwRevision = 4;
    m.wantedPersonality = 5;
    m.runningPersonality = 6;
    m.extraStatus = 9;
    m.identifyLength = identifyLength;
    m.answerDelayMinMs = m.answerDelayMaxMs = 1;
    m.block = {0x10, 0x20, 0x30};
    return m;
}

RackConfig SmallRack() {
    RackConfig rack;
    rack.modules = {Module(0, 0), Module(10, 7), Module(11, 3, 4), Module(12, 9, 3)};
    rack.restartSilenceMs = 3000;
    return rack;
}

struct EngineFixture : ::testing::Test {
    RackEngine engine{SmallRack(), 7};
    SerialLine line{&engine};
    int64_t now = 5000;

    test::BusExchange Ask(uint8_t address, uint8_t command, const std::vector<uint8_t>& data = {}) {
        return test::Exchange(line, now, address, command, data);
    }
};

std::string Hex(const std::vector<uint8_t>& bytes) {
    return HexDump(bytes, 4096);
}

} // namespace

TEST_F(EngineFixture, EchoComesFirstThenTheAnswerAfterTheModuleDelay) {
    const int64_t sent = now;
    auto x = Ask(10, kCmdIdentify);
    // Echo 02 0A FD 10 10, then the answer 02 FD 0A F4 07 77 07 17 04 05 06 09 + checksum.
    // F4^07^77^07^17^04^05^06^09 = 0x9A.
    EXPECT_EQ(Hex(x.raw), "02 0A FD 10 10 02 FD 0A F4 07 77 07 17 04 05 06 09 9A");
    ASSERT_TRUE(x.answer);
    EXPECT_EQ(x.answeredAtMs - sent, 1);
}

TEST_F(EngineFixture, IdentificationHasTheConfiguredLength) {
    for (uint8_t length = 3; length <= 7; ++length) {
        RackConfig rack = SmallRack();
        rack.modules[1].identifyLength = length;
        RackEngine e(rack);
        auto answer = e.Handle(10, kCmdIdentify, {}, 0);
        ASSERT_TRUE(answer);
        const std::vector<uint8_t> full = {0x77, 7, 23, 4, 5, 6, 9};
        EXPECT_EQ(answer->data, std::vector<uint8_t>(full.begin(), full.begin() + length));
        EXPECT_EQ(answer->Control(), length <= 3 ? 0xF3 : 0xF4);
    }
}

TEST_F(EngineFixture, ControllerListsTheOtherModulesInSlotOrder) {
    auto x = Ask(0, kCmdReadData);
    ASSERT_TRUE(x.answer);
    EXPECT_EQ(x.answer->source, 0);
    EXPECT_EQ(Hex(x.answer->data), "0A 07 00 0B 03 00 0C 09 00");
}

TEST_F(EngineFixture, WrittenBlockIsReadBackAndKeptInTheHistory) {
    const std::vector<uint8_t> block = {0x01, 0x02, 0x02, 0xFF, 0x00};
    auto w = Ask(10, kCmdWriteData, block);
    ASSERT_TRUE(w.answer);
    EXPECT_EQ(w.answer->control, kAnswerPositive);
    auto r = Ask(10, kCmdReadParameters);
    ASSERT_TRUE(r.answer);
    EXPECT_EQ(r.answer->data, block);
    ASSERT_EQ(engine.BlocksWritten(10).size(), 1u);
    EXPECT_EQ(engine.BlocksWritten(10)[0], block);

    // The CI module's block is not replaced by what it receives (CAM packets).
    Ask(11, kCmdWriteData, {0xA0, 0x01});
    EXPECT_EQ(engine.CurrentBlock(11), (std::vector<uint8_t>{0x10, 0x20, 0x30}));
    EXPECT_EQ(engine.BlocksWritten(11).size(), 1u);
}

TEST_F(EngineFixture, ExecuteCountsOrRecordsTheShellCommand) {
    Ask(10, kCmdExecute);
    Ask(10, kCmdExecute);
    auto t = Ask(10, kCmdExecute, {'s', 'y', 'n', 'c', 0});
    ASSERT_TRUE(t.answer);
    EXPECT_EQ(t.answer->Command(), kAnswerPositive);
    // The streaming module runs only its shell subset: other texts are recorded and refused.
    auto refused = Ask(10, kCmdExecute, {'l', 's', ' ', '/', 'm', 'n', 't', 0});
    ASSERT_TRUE(refused.answer);
    EXPECT_EQ(refused.answer->Command(), kAnswerNegative);
    EXPECT_EQ(engine.ExecuteCount(10), 2);
    EXPECT_EQ(engine.ExecutedTexts(10), (std::vector<std::string>{"sync", "ls /mnt"}));
}

TEST_F(EngineFixture, StatusFollowsTheFamily) {
    auto tuner = Ask(10, kCmdReadStatus);
    ASSERT_TRUE(tuner.answer);
    ASSERT_EQ(tuner.answer->data.size(), 12u); // inputs A and B, USB key, change byte, remote address
    EXPECT_EQ(tuner.answer->data[0], 2);       // input A locked

    // The encoder's status repeats its block's change counter.
    Ask(12, kCmdWriteData, {0x2A, 0x00});
    auto encoder = Ask(12, kCmdReadStatus);
    ASSERT_TRUE(encoder.answer);
    EXPECT_EQ(encoder.answer->data[0], 0x2A);
    engine.BumpChangeCounter(12);
    EXPECT_EQ(Ask(12, kCmdReadStatus).answer->data[0], 0x2B);

    // The CAM starts up with its module: initialising at first, then ready.
    EXPECT_EQ(Hex(Ask(11, kCmdReadStatus).answer->data), "01");
    now += CamSettings{}.startupDelayMs;
    EXPECT_EQ(Hex(Ask(11, kCmdReadStatus).answer->data), "02"); // CAM ready
}

TEST_F(EngineFixture, NobodyAnswersBroadcastsOrAbsentAddresses) {
    auto broadcast = Ask(kAddrAll, kCmdIdentify);
    EXPECT_FALSE(broadcast.answer);
    EXPECT_EQ(broadcast.raw.size(), 5u); // only the echo
    EXPECT_FALSE(Ask(0x30, kCmdIdentify).answer);
    EXPECT_EQ(engine.RequestsTo(0x30).size(), 1u);
    EXPECT_EQ(engine.RequestsTo(kAddrAll).size(), 1u);
}

TEST_F(EngineFixture, UnknownCommandIsAnsweredNegatively) {
    auto x = Ask(10, 0x20);
    ASSERT_TRUE(x.answer);
    EXPECT_EQ(x.answer->Command(), kAnswerNegative);
}

TEST_F(EngineFixture, RestartSilencesEveryModuleForTheConfiguredTime) {
    const int64_t restartedAt = now;
    auto restart = Ask(kAddrAll, kCmdFlash, {kFlashRestartAll});
    EXPECT_FALSE(restart.answer);
    EXPECT_EQ(engine.RestartCount(), 1);
    EXPECT_FALSE(Ask(0, kCmdIdentify).answer);
    now = restartedAt + 2990;
    EXPECT_FALSE(Ask(10, kCmdIdentify).answer);
    now = restartedAt + 3000;
    EXPECT_TRUE(Ask(0, kCmdIdentify).answer);
    EXPECT_TRUE(Ask(10, kCmdIdentify).answer);
}

TEST_F(EngineFixture, FileFlashAndModeCommandsAreRecordedAndAnswered) {
    for (auto [command, data] : std::vector<std::pair<uint8_t, std::vector<uint8_t>>>{
             {kCmdFlash, {kFlashBegin}},
             {kCmdFlash, {kFlashWrite, 0x01, 0x00, 0x00, 0xAA}},
             {kCmdFlash, {kFlashEnd}},
             {kCmdFile, {0x00, 'a', 0}},
             {kCmdReadNameList, {}},
             {kCmdSetMode, {1}}}) {
        auto x = Ask(10, command, data);
        ASSERT_TRUE(x.answer);
        EXPECT_EQ(x.answer->Command(), kAnswerPositive);
    }
    auto seen = engine.RequestsTo(10);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[1].command, kCmdFlash);
    EXPECT_EQ(Hex(seen[1].data), "01 01 00 00 AA");
    EXPECT_EQ(seen[5].command, kCmdSetMode);
}

TEST(SimEngine, HistoriesKeepOnlyTheMostRecentEntries) {
    RackEngine engine(SmallRack());
    const size_t extra = 5;
    for (size_t i = 0; i < RackEngine::kMaxRequestHistory + extra; ++i)
        engine.Handle(10, kCmdWriteData, std::vector<uint8_t>{static_cast<uint8_t>(i)},
                      static_cast<int64_t>(i));
    const auto requests = engine.AllRequests();
    ASSERT_EQ(requests.size(), RackEngine::kMaxRequestHistory);
    EXPECT_EQ(requests.front().atMs, static_cast<int64_t>(extra));
    const auto written = engine.BlocksWritten(10);
    ASSERT_EQ(written.size(), RackEngine::kMaxHistoryPerModule);
    EXPECT_EQ(written.back(),
              std::vector<uint8_t>{static_cast<uint8_t>(RackEngine::kMaxRequestHistory + extra - 1)});
}

TEST_F(EngineFixture, PersonalityRecordChangesTheWantedPersonalityOnlyThroughItsComponent) {
    auto wanted = [&] { return engine.Handle(10, kCmdIdentify, {}, now)->data[4]; };
    ASSERT_EQ(wanted(), 5);
    // The same record written to another component, or without the record mark, changes nothing.
    engine.Handle(10, kCmdFile, std::vector<uint8_t>{kFileCreate, 0x01, 0x23}, now);
    engine.Handle(10, kCmdFile, std::vector<uint8_t>{kFileWriteForm5, 0x83, 11, 0xFF, 0xFF}, now);
    engine.Handle(10, kCmdFile, std::vector<uint8_t>{kFileClose}, now);
    engine.Handle(10, kCmdFile, std::vector<uint8_t>{kFileCreate, 0x0F, 0xFF}, now);
    engine.Handle(10, kCmdFile, std::vector<uint8_t>{kFileWriteForm5, 0x84, 11, 0xFF, 0xFF}, now);
    EXPECT_EQ(wanted(), 5);
    // Component 0xFFF with the record: the module now wants type 11.
    engine.Handle(10, kCmdFile, std::vector<uint8_t>{kFileWriteForm5, 0x83, 11, 0xFF, 0xFF}, now);
    engine.Handle(10, kCmdFile, std::vector<uint8_t>{kFileClose}, now);
    EXPECT_EQ(wanted(), 11);
    // Once closed, further records go nowhere.
    engine.Handle(10, kCmdFile, std::vector<uint8_t>{kFileWriteForm5, 0x83, 6, 0xFF, 0xFF}, now);
    EXPECT_EQ(wanted(), 11);
}
