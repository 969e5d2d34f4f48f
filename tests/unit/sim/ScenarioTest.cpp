// The simulator's scenario file and control commands: what they accept, and what each
// command does to the rack's answers.
#include "sim/Scenario.h"
#include "sim/Engine.h"
#include "sim/Rack.h"

#include <gtest/gtest.h>

using namespace mulvane;

namespace {

constexpr uint8_t kTwinTuner = 10;
constexpr uint8_t kCiModule = 11;
constexpr uint8_t kTerrestrial = 13;
constexpr uint8_t kCmdStatus = 0x40;
constexpr uint8_t kCmdIdentify = 0x10;

struct ScenarioRack : ::testing::Test {
    RackEngine engine{DemoRack(), 4};
    int64_t now = 1000;

    std::optional<Answer> Ask(uint8_t address, uint8_t command) {
        now += 10;
        return engine.Handle(address, command, {}, now);
    }
    void Apply(const std::string& command) {
        std::string error;
        ASSERT_TRUE(ApplyControlCommand(engine, command, now, error)) << error;
    }
};

TEST(ScenarioFile, EventsComeInTimeOrder) {
    std::string error;
    const auto events = ParseScenario("# a test\n"
                                      "20 antenna 10 A back\r\n"
                                      "\n"
                                      "2.5 antenna 10 A lost\n"
                                      "  20 cam 11 removed\n",
                                      error);
    ASSERT_TRUE(events) << error;
    ASSERT_EQ(events->size(), 3u);
    EXPECT_EQ((*events)[0].atMs, 2500);
    EXPECT_EQ((*events)[0].line, 4);
    EXPECT_EQ((*events)[1].command, "antenna 10 A back");
    EXPECT_EQ((*events)[2].command, "cam 11 removed"); // same time: file order
}

TEST(ScenarioFile, NamesTheWrongLine) {
    std::string error;
    EXPECT_FALSE(ParseScenario("1 antenna 10 A lost\n2 antenna 10 D lost\n", error));
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    for (const char* bad : {"-1 silent 10 on", "x silent 10 on", "1e3 silent 10 on", "nan silent 10 on",
                            "1 silent", "1 silent 253 on", "1 level 10 A 101", "1 level 10 A -1",
                            "1 teleport 10", "1 cam 11 maybe", "1 module 300 removed", "5"})
        EXPECT_FALSE(ParseScenario(bad, error)) << bad;
}

TEST(ScenarioFile, EventCountLimit) {
    std::string text;
    for (size_t i = 0; i < kMaxScenarioEvents; ++i)
        text += "1 silent 10 on\n";
    std::string error;
    EXPECT_TRUE(ParseScenario(text, error)) << error;
    text += "1 silent 10 off\n";
    EXPECT_FALSE(ParseScenario(text, error));
}

TEST(ControlCommand, LengthLimit) {
    std::string error;
    const std::string base = "silent 10 on";
    EXPECT_TRUE(CheckControlCommand(base + std::string(kMaxCommandLength - base.size(), ' '), error))
        << error;
    EXPECT_FALSE(CheckControlCommand(base + std::string(kMaxCommandLength - base.size() + 1, ' '), error));
}

TEST_F(ScenarioRack, AntennaLostAndBack) {
    ASSERT_EQ(Ask(kTwinTuner, kCmdStatus)->data[0], 2);
    Apply("antenna 10 A lost");
    auto status = Ask(kTwinTuner, kCmdStatus)->data;
    EXPECT_EQ(status[0], 0);
    EXPECT_EQ(status[3], 2); // input B keeps its lock
    Apply("antenna 10 A back");
    now += 1300; // carrier, then lock, as after a new tuning
    EXPECT_EQ(Ask(kTwinTuner, kCmdStatus)->data[0], 2);
}

TEST_F(ScenarioRack, LevelIsHeldExactly) {
    Apply("level 13 B 42");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Ask(kTerrestrial, kCmdStatus)->data[4], 42);
    Apply("antenna 13 B lost");
    EXPECT_LT(Ask(kTerrestrial, kCmdStatus)->data[4], 10); // no signal: the level falls
}

TEST_F(ScenarioRack, CamRemovedAndInserted) {
    Apply("cam 11 removed");
    EXPECT_EQ(Ask(kCiModule, kCmdStatus)->data[0], 0);
    Apply("cam 11 inserted");
    EXPECT_EQ(Ask(kCiModule, kCmdStatus)->data[0], 1); // initialising
    std::string error;
    EXPECT_FALSE(ApplyControlCommand(engine, "cam 10 removed", now, error)); // not a CI module
}

TEST_F(ScenarioRack, SilentModuleAndRemovedModule) {
    Apply("silent 10 on");
    EXPECT_FALSE(Ask(kTwinTuner, kCmdIdentify));
    Apply("silent 10 off");
    EXPECT_TRUE(Ask(kTwinTuner, kCmdIdentify));
    Apply("module 10 removed");
    EXPECT_FALSE(Ask(kTwinTuner, kCmdIdentify));
    EXPECT_TRUE(engine.GetFaults().IsRemoved(kTwinTuner));
    Apply("module 10 inserted");
    EXPECT_TRUE(Ask(kTwinTuner, kCmdIdentify));
}

TEST_F(ScenarioRack, PlayerAppliesWhatIsDue) {
    std::string error;
    auto events = ParseScenario("1 antenna 10 A lost\n3 antenna 10 A back\n", error);
    ASSERT_TRUE(events);
    ScenarioPlayer player(std::move(*events), 10000);
    EXPECT_TRUE(player.Play(engine, 10999).empty());
    EXPECT_EQ(player.Play(engine, 11000), std::vector<std::string>{"antenna 10 A lost"});
    EXPECT_FALSE(player.Done());
    EXPECT_EQ(player.Play(engine, 20000), std::vector<std::string>{"antenna 10 A back"});
    EXPECT_TRUE(player.Done());
}

} // namespace
