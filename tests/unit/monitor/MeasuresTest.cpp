// The rack watch's measures and alarms, from hand-made status answers of every family, and
// one round over the simulated demo rack on virtual time.
#include "monitor/Measures.h"
#include "link/CXmit.h"
#include "monitor/Alarms.h"
#include "monitor/StatusRound.h"
#include "platform/Clock.h"
#include "platform/ModuleType.h"
#include "settings/IpStreamerBlock.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::monitor;

namespace {

Bytes Identify(uint8_t type, uint8_t release = 23, uint8_t hw = 2) {
    return {0x77, type, release, hw, 1, 1, 0};
}

ModuleAnswers Module(int slot, uint8_t address, uint8_t type, Bytes status) {
    ModuleAnswers a;
    a.slot = slot;
    a.address = address;
    a.listedType = type;
    a.asked = true;
    a.identify = Identify(type);
    a.status = std::move(status);
    return a;
}

ModuleMeasures One(const ModuleAnswers& a) {
    RoundAnswers round;
    round.modules.push_back(a);
    return DecodeRound(round).modules.at(0);
}

std::vector<AlarmKind> KindsOf(const ModuleAnswers& a, AlarmThresholds t = {}) {
    RoundAnswers round;
    round.modules.push_back(a);
    std::vector<AlarmKind> kinds;
    for (const Alarm& alarm : EvaluateAlarms(DecodeRound(round), t))
        kinds.push_back(alarm.kind);
    return kinds;
}

void Put32(Bytes& out, uint32_t v) {
    for (int shift : {24, 16, 8, 0})
        out.push_back(static_cast<uint8_t>(v >> shift));
}

TEST(Measures, IdentificationGivesTypeReleaseHardwareAndPersonality) {
    ModuleAnswers a = Module(3, 12, type::kModT4, {1, 45});
    a.identify = Bytes{0x77, type::kModT4, 21, 2, 6, 8, 0};
    const ModuleMeasures m = One(a);
    EXPECT_TRUE(m.up);
    EXPECT_EQ(m.identifiedType, type::kModT4);
    EXPECT_EQ(m.release, 21);
    EXPECT_EQ(m.hwRevision, 2);
    EXPECT_EQ(m.wantedPersonality, 6);
    EXPECT_EQ(m.runningPersonality, 8);
    // The 3-byte form of the older modules: no revision, no personality.
    a.identify = Bytes{0x77, type::kModT4, 35};
    const ModuleMeasures old = One(a);
    EXPECT_EQ(old.hwRevision, 0);
    EXPECT_EQ(old.wantedPersonality, 255);
    EXPECT_EQ(old.runningPersonality, 255);
}

TEST(Measures, SingleTunerGivesOneInput) {
    const ModuleMeasures m = One(Module(1, 17, type::kSat1, {2, 81, 66}));
    ASSERT_EQ(m.inputs.size(), 1u);
    EXPECT_EQ(m.inputs[0].name, "A");
    EXPECT_TRUE(m.inputs[0].Locked());
    EXPECT_EQ(m.inputs[0].level, 81);
    EXPECT_EQ(m.inputs[0].quality, 66);
    EXPECT_FALSE(m.usbKeyPresent);
}

TEST(Measures, TwinTunerGivesTwoInputsAndTheUsbKey) {
    const ModuleMeasures m = One(Module(1, 10, type::kSat2_0, {2, 80, 70, 1, 40, 12, 1, 5, 192, 168, 1, 20}));
    ASSERT_EQ(m.inputs.size(), 2u);
    EXPECT_EQ(m.inputs[1].name, "B");
    EXPECT_EQ(m.inputs[1].lock, 1);
    EXPECT_FALSE(m.inputs[1].Locked());
    EXPECT_EQ(m.usbKeyPresent, true);
    const ModuleMeasures noKey = One(Module(1, 10, type::kTerrestrial, {2, 80, 70, 2, 80, 70, 0, 5}));
    EXPECT_EQ(noKey.usbKeyPresent, false);
}

TEST(Measures, ShortTunerAnswerKeepsOnlyWholeInputs) {
    const ModuleMeasures m = One(Module(1, 10, type::kSat2, {2, 80, 70, 2, 80}));
    EXPECT_EQ(m.inputs.size(), 1u);
    EXPECT_FALSE(m.usbKeyPresent);
}

TEST(Measures, ControllerGivesSupplyTemperatureAndFan) {
    ModuleAnswers a = Module(0, 0, type::kPowerSupply, {0, 41, 1});
    const ModuleMeasures m = One(a);
    EXPECT_EQ(m.supplyGood, true);
    EXPECT_EQ(m.temperatureCelsius, 41);
    EXPECT_EQ(m.fanRunning, true);
    a.status = Bytes{1, 41, 0};
    EXPECT_EQ(KindsOf(a), (std::vector<AlarmKind>{AlarmKind::SupplyFault, AlarmKind::FanStopped}));
}

TEST(Measures, CommonInterfaceGivesTheCamState) {
    EXPECT_EQ(One(Module(2, 11, type::kCommonInterface, {2})).camState, 2);
    EXPECT_TRUE(KindsOf(Module(2, 11, type::kCommonInterface, {1})).empty()); // initialising
    EXPECT_EQ(KindsOf(Module(2, 11, type::kCommonInterface, {0})),
              std::vector<AlarmKind>{AlarmKind::CamRemoved});
    // A CI module that gave no status says nothing about its CAM.
    ModuleAnswers silent = Module(2, 11, type::kCommonInterface, {});
    silent.status.reset();
    EXPECT_TRUE(KindsOf(silent).empty());
}

TEST(Measures, EncoderGivesItsChangeCounterAndNoAlarm) {
    const ModuleAnswers a = Module(6, 15, type::kHdEncoder, {7, 3});
    EXPECT_EQ(One(a).encoderChangeCounter, 7);
    EXPECT_TRUE(KindsOf(a).empty());
}

TEST(Measures, ModulatorGivesStateTemperatureAndChannelRates) {
    ModuleAnswers a = Module(3, 12, type::kModT2, {1, 45});
    Bytes rates = {1, 45, 0, 0};
    Put32(rates, 12000000);
    Put32(rates, 24000000);
    Put32(rates, 0);
    Put32(rates, 5000);
    Put32(rates, 19900000);
    Put32(rates, 0);
    a.readData = rates;
    const ModuleMeasures m = One(a);
    EXPECT_EQ(m.outputRunning, true);
    EXPECT_EQ(m.temperatureCelsius, 45);
    ASSERT_EQ(m.channels.size(), 2u);
    EXPECT_EQ(m.channels[0].channel, 1);
    EXPECT_EQ(m.channels[0].usedBps, 12000000u);
    EXPECT_EQ(m.channels[0].capacityBps, 24000000u);
    EXPECT_EQ(m.channels[1].usedBps, 5000u);
    // A rate answer cut inside channel 2 gives channel 1 only.
    a.readData->resize(4 + 12 + 7);
    EXPECT_EQ(One(a).channels.size(), 1u);
}

TEST(Measures, IpStreamerTotalIsScaledByItsProtocol) {
    ModuleAnswers a = Module(7, 16, type::kIpStreamer, {1, 44});
    Bytes rates;
    Put32(rates, 958); // x 3008 / 958 = 3008 kb/s with RTP, / 966 = 2983 with UDP
    a.readData = rates;
    settings::IpStreamerValues values;
    values.protocol = 1;
    a.parameters = settings::EncodeIpStreamerBlock(values).block;
    EXPECT_EQ(One(a).streamerRateBps, 3008000u);
    values.protocol = 0;
    a.parameters = settings::EncodeIpStreamerBlock(values).block;
    EXPECT_EQ(One(a).streamerRateBps, 2983000u);
    a.parameters.reset(); // no block read: UDP, as the page reads an empty block
    EXPECT_EQ(One(a).streamerRateBps, 2983000u);
}

TEST(Alarms, InputWithoutLockAndLowLevelNameTheInput) {
    RoundAnswers round;
    round.modules.push_back(Module(1, 10, type::kSat2_0, {0, 29, 0, 2, 30, 70, 1, 5}));
    const auto alarms = EvaluateAlarms(DecodeRound(round), AlarmThresholds{30, 60});
    ASSERT_EQ(alarms.size(), 2u); // level 30 is not under 30; 29 is
    EXPECT_EQ(alarms[0].kind, AlarmKind::InputNoLock);
    EXPECT_EQ(alarms[0].input, "A");
    EXPECT_EQ(alarms[1].kind, AlarmKind::LevelLow);
    EXPECT_EQ(alarms[1].input, "A");
    EXPECT_EQ(alarms[1].address, 10);
    EXPECT_EQ(alarms[1].slot, 1);
}

TEST(Alarms, TemperatureAboveTheThresholdOnly) {
    const ModuleAnswers at = Module(3, 12, type::kModC4, {1, 60});
    EXPECT_TRUE(KindsOf(at, {30, 60}).empty());
    const ModuleAnswers above = Module(3, 12, type::kModC4, {1, 61});
    EXPECT_EQ(KindsOf(above, {30, 60}), std::vector<AlarmKind>{AlarmKind::TemperatureHigh});
}

TEST(Alarms, StoppedOutput) {
    EXPECT_EQ(KindsOf(Module(3, 12, type::kModT1, {0, 45})),
              std::vector<AlarmKind>{AlarmKind::OutputStopped});
}

TEST(Alarms, MissingModuleIsAskedNothingElse) {
    ModuleAnswers a = Module(4, 13, type::kTerrestrial, {});
    a.identify.reset();
    a.status.reset();
    const ModuleMeasures m = One(a);
    EXPECT_FALSE(m.up);
    EXPECT_TRUE(m.inputs.empty());
    EXPECT_EQ(KindsOf(a), std::vector<AlarmKind>{AlarmKind::ModuleMissing});
}

TEST(Alarms, ModuleOfAnotherTypeIsReadAsWhatItSays) {
    ModuleAnswers a = Module(1, 17, type::kSat1, {1, 45}); // answers as a modulator
    a.identify = Identify(type::kModT1);
    const ModuleMeasures m = One(a);
    EXPECT_EQ(m.Type(), type::kModT1);
    EXPECT_EQ(m.outputRunning, true);
    EXPECT_TRUE(m.inputs.empty());
    EXPECT_EQ(KindsOf(a), std::vector<AlarmKind>{AlarmKind::TypeMismatch});
}

TEST(Alarms, AnswerThatIsNoIdentificationLeavesTheTypeAsListed) {
    ModuleAnswers a = Module(1, 17, type::kSat1, {2, 80, 70});
    a.identify = Bytes{0x12, 4, 1};
    const ModuleMeasures m = One(a);
    EXPECT_TRUE(m.up);
    EXPECT_FALSE(m.identifiedType);
    EXPECT_EQ(m.inputs.size(), 1u);
    EXPECT_TRUE(KindsOf(a).empty());
}

// One round on the demo rack over the simulated serial bus.
struct DemoRound : ::testing::Test {
    platform::ManualClock clock;
    mulvane::RackEngine engine{mulvane::DemoRack(), 3};
    mulvane::SerialLine line{&engine};
    link::CXmit xmit{clock};

    void SetUp() override {
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, line, 0));
        ASSERT_TRUE(xmit.OpenLink());
    }
    RackMeasures Run(int64_t budgetMs = 10000) {
        return DecodeRound(RunStatusRound(xmit, clock, RoundLimits{budgetMs}));
    }
};

TEST_F(DemoRound, MeasuresEveryModuleAndRaisesNoAlarm) {
    EXPECT_EQ(Run().modules.at(2).camState, 1); // the CAM initialises after the first request
    clock.Advance(2000);
    const RackMeasures rack = Run();
    ASSERT_TRUE(rack.Complete());
    ASSERT_EQ(rack.modules.size(), 12u);
    EXPECT_EQ(rack.failedExchanges, 0);
    // Identify and status of all 12, the list, 5 outputs' rates, the streamer's block.
    EXPECT_EQ(rack.exchanges, 12 * 2 + 1 + 5 + 1);
    const ModuleMeasures& twin = rack.modules[1];
    EXPECT_EQ(twin.Type(), type::kSat2_0);
    ASSERT_EQ(twin.inputs.size(), 2u);
    EXPECT_TRUE(twin.inputs[0].Locked());
    EXPECT_EQ(rack.modules[2].camState, 2);
    EXPECT_EQ(rack.modules[3].channels.size(), 4u);
    EXPECT_GT(rack.modules[3].channels[0].capacityBps, 0u);
    EXPECT_TRUE(rack.modules[7].streamerRateBps);
    EXPECT_EQ(rack.modules[0].temperatureCelsius.value_or(0) / 10, 4);
    EXPECT_TRUE(EvaluateAlarms(rack).empty());
}

TEST_F(DemoRound, AntennaPulledAndModuleRemovedShowAsAlarms) {
    Run();
    engine.SetInputSignal(10, 0, false);
    engine.GetFaults().DropAllAnswersOf(13);
    clock.Advance(5000);
    const RackMeasures rack = Run();
    ASSERT_TRUE(rack.Complete());
    EXPECT_FALSE(rack.modules[1].inputs[0].Locked());
    EXPECT_FALSE(rack.modules[4].up);
    bool noLockA = false, missing = false;
    for (const Alarm& alarm : EvaluateAlarms(rack)) {
        noLockA |= alarm.kind == AlarmKind::InputNoLock && alarm.address == 10 && alarm.input == "A";
        missing |= alarm.kind == AlarmKind::ModuleMissing && alarm.address == 13;
    }
    EXPECT_TRUE(noLockA);
    EXPECT_TRUE(missing);
}

TEST_F(DemoRound, StopsWhenTheBudgetIsSpent) {
    engine.GetFaults().DropAllAnswersOf(10);
    engine.GetFaults().DropAllAnswersOf(11);
    // Each silent module costs its identification time-out (100 ms on the serial line).
    const RackMeasures rack = Run(150);
    EXPECT_EQ(rack.failure, RoundFailure::OutOfTime);
    EXPECT_FALSE(rack.modules[2].up);
    // Address 10 was silent for its whole time-out: missing. Address 11 had less than its
    // time-out left, and the later modules were not asked at all: nothing is said of them.
    EXPECT_TRUE(rack.modules[1].asked);
    EXPECT_FALSE(rack.modules[2].asked);
    EXPECT_FALSE(rack.modules[5].asked);
    const auto alarms = EvaluateAlarms(rack);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].kind, AlarmKind::ModuleMissing);
    EXPECT_EQ(alarms[0].address, 10);
}

// A rack holds the controller and 14 modules: a longer module list is refused as a whole.
TEST(LongRack, FourteenModulesAreMeasuredFifteenRefused) {
    for (const int extra : {3, 4}) {
        mulvane::RackConfig config = mulvane::DemoRack(); // the controller and 11 modules
        for (int i = 0; i < extra; ++i) {
            mulvane::ModuleConfig ci = config.modules[2];
            ci.address = static_cast<uint8_t>(30 + i);
            config.modules.push_back(ci);
        }
        platform::ManualClock clock;
        mulvane::RackEngine engine(config, 3);
        mulvane::SerialLine line(&engine);
        link::CXmit xmit(clock);
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, line, 0));
        ASSERT_TRUE(xmit.OpenLink());
        const RackMeasures rack = DecodeRound(RunStatusRound(xmit, clock, RoundLimits{}));
        if (extra == 3) {
            EXPECT_TRUE(rack.Complete());
            EXPECT_EQ(rack.modules.size(), 15u);
        } else {
            EXPECT_EQ(rack.failure, RoundFailure::TooManyModules);
            EXPECT_EQ(rack.modules.size(), 1u); // the controller only
        }
    }
}

TEST_F(DemoRound, SilentControllerFailsTheRound) {
    engine.GetFaults().DropAllAnswersOf(0);
    const RackMeasures rack = Run();
    EXPECT_EQ(rack.failure, RoundFailure::NoController);
}

} // namespace
