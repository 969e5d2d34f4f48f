// The measures of the simulated modules: tuner lock after a retune, wandering levels, the
// received service lists and their change indicator, encoder lists and counters, and the
// output rates of modulators and the IP streamer. All on virtual time, through the engine.
#include "sim/Dynamics.h"
#include "sim/Engine.h"
#include "sim/Protocol.h"
#include "sim/Rack.h"

#include "platform/Bytes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace mulvane;
using kaptiv::platform::ByteReader;

namespace {

constexpr uint8_t kTwinTuner = 10; // type 7 of the demo rack
constexpr uint8_t kCofdm4 = 12;    // type 6, chain of the twin tuner
constexpr uint8_t kTerrestrial = 13;
constexpr uint8_t kHdEncoder = 15;
constexpr uint8_t kIpStreamer = 16;
constexpr uint8_t kSingleTuner = 17; // type 4
constexpr uint8_t kCofdm1 = 18;      // type 2
constexpr uint8_t kAvEncoder = 19;   // type 9
constexpr uint8_t kQam4 = 20;        // type 8

struct Listed {
    uint16_t id;
    std::vector<uint8_t> name; // table-coded bytes
    uint8_t flags;
};
struct ListedPart {
    std::vector<Listed> services;
    uint16_t tsid = 0, onid = 0;
};

// The tuner list answer, read as the PC reads it: per part m, then only when m > 0 the ids
// with their names, the flags, the transport stream id and the original network id.
std::vector<ListedPart> ParseTunerList(const std::vector<uint8_t>& data, size_t parts) {
    ByteReader r(data);
    std::vector<ListedPart> out;
    for (size_t p = 0; p < parts; ++p) {
        ListedPart part;
        const uint8_t m = r.U8();
        if (m > 0) {
            for (int i = 0; i < m; ++i) {
                Listed s{r.U16(), {}, 0};
                for (uint8_t b; (b = r.U8()) != 0 && r.Ok();)
                    s.name.push_back(b);
                part.services.push_back(s);
            }
            for (auto& s : part.services)
                s.flags = r.U8();
            part.tsid = r.U16();
            part.onid = r.U16();
        }
        EXPECT_TRUE(r.Ok());
        out.push_back(part);
    }
    EXPECT_TRUE(r.AtEnd());
    return out;
}

std::vector<Listed> ParseEncoderList(const std::vector<uint8_t>& data) {
    ByteReader r(data);
    std::vector<Listed> out;
    const uint8_t m = r.U8();
    for (int i = 0; i < m; ++i) {
        Listed s{r.U16(), {}, 0};
        for (uint8_t b; (b = r.U8()) != 0 && r.Ok();)
            s.name.push_back(b);
        s.flags = r.U8();
        out.push_back(s);
    }
    EXPECT_TRUE(r.Ok());
    EXPECT_TRUE(r.AtEnd());
    return out;
}

std::vector<uint8_t> Bytes(const char* text) {
    return {text, text + std::char_traits<char>::length(text)};
}

struct DemoFixture : ::testing::Test {
    RackEngine engine{DemoRack(), 3};
    int64_t now = 10000;

    std::vector<uint8_t> Ask(uint8_t address, uint8_t command, const std::vector<uint8_t>& data = {}) {
        auto answer = engine.Handle(address, command, data, now);
        EXPECT_TRUE(answer.has_value());
        if (!answer)
            return {};
        EXPECT_EQ(answer->kind, kAnswerPositive);
        return answer->data;
    }
    std::vector<uint8_t> Status(uint8_t address) { return Ask(address, kCmdReadStatus); }
    std::vector<uint8_t> List(uint8_t address) { return Ask(address, kCmdReadData); }
};

TEST_F(DemoFixture, TwinTunerReceivesItsDemoMultiplexesWithTableCodedNamesAndFlags) {
    const auto status = Status(kTwinTuner);
    ASSERT_EQ(status.size(), 12u);
    EXPECT_EQ(status[0], kLockLocked);
    EXPECT_EQ(status[3], kLockLocked);
    EXPECT_EQ(status[6], 1); // USB key present
    EXPECT_EQ(std::vector<uint8_t>(status.begin() + 8, status.end()),
              (std::vector<uint8_t>{192, 168, 10, 51}));

    const auto parts = ParseTunerList(List(kTwinTuner), 3);
    ASSERT_EQ(parts[0].services.size(), 5u);
    EXPECT_EQ(parts[0].tsid, 1031);
    EXPECT_EQ(parts[0].onid, 7936);
    // "Ciné Nocturne": é is Latin-1 0xE9; crypted TV = bits 0 and 1.
    EXPECT_EQ(parts[0].services[2].id, 1103);
    EXPECT_EQ(parts[0].services[2].name, Bytes("Cin\xE9 Nocturne"));
    EXPECT_EQ(parts[0].services[2].flags, 0x03);
    EXPECT_EQ(parts[0].services[4].flags, 0x00); // "Radio Vallée": radio, clear
    EXPECT_EQ(parts[0].services[0].flags, 0x01);
    // Input B: "L'Atelier Cinéma" with the apostrophe as table index 34.
    ASSERT_EQ(parts[1].services.size(), 4u);
    EXPECT_EQ(parts[1].services[2].name, Bytes("L\x22"
                                               "Atelier Cin\xE9ma"));
    EXPECT_TRUE(parts[2].services.empty()); // input C: one byte 0
}

TEST_F(DemoFixture, RetuningLosesTheLockThenLocksOnANewMultiplexAndFlipsTheIndicator) {
    std::vector<uint8_t> block = engine.CurrentBlock(kTwinTuner);
    const std::vector<uint8_t> original = block;
    const uint8_t indicator0 = Status(kTwinTuner)[7];
    const auto homeIds = ParseTunerList(List(kTwinTuner), 3)[0].services;

    block[1] += 20; // input A: 20 MHz up, still inside the band
    const int64_t written = now;
    Ask(kTwinTuner, kCmdWriteData, block);

    now = written + 100;
    auto status = Status(kTwinTuner);
    EXPECT_EQ(status[0], kLockNone);
    EXPECT_EQ(status[2], 0); // no quality without a lock
    EXPECT_EQ(status[3], kLockLocked) << "input B keeps its lock";
    EXPECT_EQ(status[7], static_cast<uint8_t>(indicator0 + 1)) << "input A's list emptied";
    EXPECT_TRUE(ParseTunerList(List(kTwinTuner), 3)[0].services.empty());
    EXPECT_FALSE(ParseTunerList(List(kTwinTuner), 3)[1].services.empty());

    now = written + kCarrierAfterMs;
    EXPECT_EQ(Status(kTwinTuner)[0], kLockCarrier);
    now = written + kLockAfterMs - 1;
    EXPECT_EQ(Status(kTwinTuner)[0], kLockCarrier);
    now = written + kLockAfterMs;
    status = Status(kTwinTuner);
    EXPECT_EQ(status[0], kLockLocked);
    EXPECT_EQ(status[7], static_cast<uint8_t>(indicator0 + 2)) << "the new multiplex arrived";
    const auto moved = ParseTunerList(List(kTwinTuner), 3)[0];
    ASSERT_GE(moved.services.size(), 3u);
    EXPECT_NE(moved.services[0].id, homeIds[0].id);
    EXPECT_EQ(engine.ReceivedServices(kTwinTuner, 0, now).size(), moved.services.size());

    // Back to the original frequency: the demo services again, after the lock time.
    Ask(kTwinTuner, kCmdWriteData, original);
    now += kLockAfterMs;
    EXPECT_EQ(Status(kTwinTuner)[0], kLockLocked);
    EXPECT_EQ(ParseTunerList(List(kTwinTuner), 3)[0].services[0].id, homeIds[0].id);
}

TEST_F(DemoFixture, AWriteThatKeepsTheTuningKeepsTheLockAndTheIndicator) {
    const uint8_t indicator = Status(kTwinTuner)[7];
    std::vector<uint8_t> block = engine.CurrentBlock(kTwinTuner);
    block[0x0E] ^= 1; // a CAM number of input A's selection
    block[4] |= 0x05; // bits of the polarisation byte other than bit 7 do not tune
    Ask(kTwinTuner, kCmdWriteData, block);
    now += 50;
    const auto status = Status(kTwinTuner);
    EXPECT_EQ(status[0], kLockLocked);
    EXPECT_EQ(status[7], indicator);
    EXPECT_EQ(engine.CurrentBlock(kTwinTuner), block) << "the block is stored as written";
    EXPECT_EQ(Ask(kTwinTuner, kCmdReadParameters), block) << "and answered back";
}

TEST_F(DemoFixture, AFrequencyOutsideTheBandNeverLocks) {
    std::vector<uint8_t> block = engine.CurrentBlock(kSingleTuner);
    block[0] = 0x00; // 9750 + 0x40 MHz: below the band
    block[1] = 0x40;
    Ask(kSingleTuner, kCmdWriteData, block);
    now += 10 * kLockAfterMs;
    const auto status = Status(kSingleTuner);
    ASSERT_EQ(status.size(), 3u);
    EXPECT_EQ(status[0], kLockNone);
    EXPECT_LT(status[1], 10);
    EXPECT_TRUE(ParseTunerList(List(kSingleTuner), 1)[0].services.empty());
}

TEST_F(DemoFixture, LevelAndQualityWanderALittleAroundTheirBase) {
    std::set<int> levels, qualities;
    for (int i = 0; i < 200; ++i) {
        const auto status = Status(kSingleTuner);
        levels.insert(status[1]);
        qualities.insert(status[2]);
        now += 1000;
    }
    EXPECT_GT(levels.size(), 1u);
    EXPECT_GT(qualities.size(), 1u);
    EXPECT_LE(*levels.rbegin() - *levels.begin(), 6);
    EXPECT_LE(*qualities.rbegin() - *qualities.begin(), 6);
    EXPECT_GE(*levels.begin(), 50);
}

TEST(SimDynamics, TheSameSeedGivesTheSameMeasures) {
    auto run = [](uint64_t seed) {
        RackEngine engine(DemoRack(), seed);
        std::vector<uint8_t> all;
        for (int64_t t = 0; t < 20; ++t) {
            auto s = engine.Handle(kTwinTuner, kCmdReadStatus, {}, t * 1000)->data;
            all.insert(all.end(), s.begin(), s.end());
            auto r = engine.Handle(kCofdm4, kCmdReadData, {}, t * 1000)->data;
            all.insert(all.end(), r.begin(), r.end());
        }
        return all;
    };
    EXPECT_EQ(run(5), run(5));
    EXPECT_NE(run(5), run(6));
}

TEST_F(DemoFixture, SignalLossAndAChangedMultiplexShowInStatusAndList) {
    const uint8_t indicator = Status(kTerrestrial)[7];
    engine.SetInputSignal(kTerrestrial, 1, false);
    auto status = Status(kTerrestrial);
    EXPECT_EQ(status[0], kLockLocked);
    EXPECT_EQ(status[3], kLockNone);
    EXPECT_EQ(status[7], static_cast<uint8_t>(indicator + 1));
    engine.SetInputSignal(kTerrestrial, 1, true);
    now += kLockAfterMs;
    EXPECT_EQ(Status(kTerrestrial)[3], kLockLocked);
    ASSERT_EQ(ParseTunerList(List(kTerrestrial), 3)[1].services.size(), 2u);

    // The broadcaster adds services beyond what one answer lists: cut at 100.
    InputReception big{201, 61441, {}, true};
    for (uint16_t i = 0; i < 120; ++i)
        big.services.push_back({static_cast<uint16_t>(7000 + i), "S", false, false});
    const uint8_t before = Status(kTerrestrial)[7];
    engine.SetReception(kTerrestrial, 1, big);
    EXPECT_EQ(Status(kTerrestrial)[7], static_cast<uint8_t>(before + 1));
    EXPECT_EQ(ParseTunerList(List(kTerrestrial), 3)[1].services.size(), kMaxListedServices);
}

TEST_F(DemoFixture, EncodersListTheirChannelsAndFlipTheIndicatorWhenANameChanges) {
    auto list = ParseEncoderList(List(kAvEncoder));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, 6301);
    EXPECT_EQ(list[0].name, Bytes("L\x22\xC9"
                                  "cho du Lac"));
    EXPECT_EQ(list[0].flags, 0x01);
    EXPECT_EQ(ParseEncoderList(List(kHdEncoder)).size(), 4u);

    const auto status = Status(kAvEncoder);
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(status[0], 0x17); // the block's change counter

    // The PC renames channel A ("L'Écho du Lac" -> "M'Écho du Lac") and passes 1101 on.
    std::vector<uint8_t> block = engine.CurrentBlock(kAvEncoder);
    block[12] = 'M';
    block[0] = 0x18;
    block.back() = 1; // k = 1 pass-through id
    block.push_back(0x04);
    block.push_back(0x4D);
    Ask(kAvEncoder, kCmdWriteData, block);
    const auto after = Status(kAvEncoder);
    EXPECT_EQ(after[0], 0x18);
    EXPECT_EQ(after[1], static_cast<uint8_t>(status[1] + 1));
    list = ParseEncoderList(List(kAvEncoder));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name[0], 'M');
    EXPECT_EQ(list[2].id, 1101);
    EXPECT_EQ(list[2].name, Bytes("Canal Nord HD")) << "a passed-on service keeps its received name";
    // Unchanged from then on.
    EXPECT_EQ(Status(kAvEncoder)[1], after[1]);
}

struct Rates {
    std::vector<uint32_t> used, capacity;
    std::map<uint16_t, uint32_t> service;
};

Rates ParseModulatorRates(const std::vector<uint8_t>& data, int slots) {
    Rates rates;
    ByteReader r(data);
    r.Seek(4);
    for (int c = 0; c < slots; ++c) {
        rates.used.push_back(r.U32());
        rates.capacity.push_back(r.U32());
        EXPECT_EQ(r.U32(), 0u);
    }
    EXPECT_EQ(r.Position(), slots == 1 ? 16u : 52u);
    while (r.Ok() && !r.AtEnd()) {
        const uint16_t id = r.U16();
        rates.service[id] = r.U16();
    }
    EXPECT_TRUE(r.Ok());
    return rates;
}

TEST_F(DemoFixture, ModulatorRatesAddUpPerChannelUpToTheCapacity) {
    const auto rates = ParseModulatorRates(List(kCofdm4), 4);
    // QAM64, 2/3, guard 1/32, 8 MHz: 24.128 Mbit/s.
    EXPECT_NEAR(rates.capacity[0], 24128342u, 2);
    EXPECT_EQ(rates.capacity[3], rates.capacity[0]);
    // Channels of the demo block: 1 = 1101, 1103; 2 = 1104, 1105; 3 = 2201, 2203, 2205, 1190.
    ASSERT_EQ(rates.service.size(), 8u);
    const std::map<uint16_t, int> channel = {{1101, 1}, {1103, 1}, {1104, 2}, {1105, 2},
                                             {2201, 3}, {2203, 3}, {2205, 3}, {1190, 3}};
    std::vector<uint64_t> sums(4, 0);
    for (const auto& [id, kbps] : rates.service) {
        EXPECT_GT(kbps, 0u) << id;
        sums[static_cast<size_t>(channel.at(id) - 1)] += kbps * 1000ull;
    }
    for (size_t c = 0; c < 4; ++c)
        EXPECT_EQ(rates.used[c], std::min<uint64_t>(sums[c], rates.capacity[c])) << c;
    EXPECT_EQ(rates.used[3], 0u);
    // Radio is light, the played-out file near its fixed rate.
    EXPECT_LT(rates.service.at(1105), 400u);
    EXPECT_NEAR(rates.service.at(1190), 3500, 3500 * 0.031);

    // The single-channel modulator has one channel record, its services start at 16.
    const auto single = ParseModulatorRates(List(kCofdm1), 1);
    EXPECT_EQ(single.service.size(), 3u);
    // QAM modulator: 6900 kS/s QAM256: 50.87 Mbit/s; encoder channel A at 6000 + 192 kb/s.
    const auto qam = ParseModulatorRates(List(kQam4), 4);
    EXPECT_NEAR(qam.capacity[0], 6900000.0 * 8 * 188 / 204, 2);
    EXPECT_NEAR(qam.service.at(6301), 6192, 6192 * 0.031);
}

TEST_F(DemoFixture, ServicesNothingProvidesCarryNoRateAndUnroutedOnesAreNotListed) {
    std::vector<uint8_t> block = engine.CurrentBlock(kCofdm4);
    // 1101 -> 9999 (received nowhere); 1103's channel byte -> 0 (not on the output).
    block[9] = 0x27;
    block[10] = 0x0F;
    block[14] = 0x00;
    Ask(kCofdm4, kCmdWriteData, block);
    const auto rates = ParseModulatorRates(List(kCofdm4), 4);
    EXPECT_EQ(rates.service.at(9999), 0u);
    EXPECT_EQ(rates.service.count(1103), 0u);
    EXPECT_EQ(rates.used[0], 0u);
}

TEST_F(DemoFixture, IpStreamerTotalScalesByItsProtocolToTheSumOfItsServices) {
    const auto data = List(kIpStreamer);
    ByteReader r(data);
    const uint32_t raw = r.U32();
    uint64_t sumKbps = 0;
    int services = 0;
    while (r.Ok() && !r.AtEnd()) {
        r.U16();
        const uint32_t bytesPerSecond = r.U32();
        EXPECT_GT(bytesPerSecond / 188, 0u);
        sumKbps += bytesPerSecond * 8ull / 1000;
        ++services;
    }
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(services, 4);
    // The demo streamer speaks RTP: the PC shows raw * 3008 / 958 kb/s.
    EXPECT_NEAR(raw * 3008.0 / 958, static_cast<double>(sumKbps), 4);
}

TEST(SimRackJson, InputsAndRemoteReceiverAreReadAndChecked) {
    std::string error;
    auto rack = LoadRackJson(R"({"modules":[{"type":0,"address":0},
        {"type":12,"address":10,"remoteReceiver":"10.1.2.3",
         "inputs":[{"tsid":5,"onid":6,"services":[{"id":77,"name":"Caf\u00e9 \"TV\"","crypted":true}]},
                   {"signal":false}]}]})",
                             error);
    ASSERT_TRUE(rack) << error;
    const ModuleConfig& m = rack->modules[1];
    EXPECT_EQ(m.remoteReceiver, (std::array<uint8_t, 4>{10, 1, 2, 3}));
    ASSERT_EQ(m.inputs.size(), 2u);
    EXPECT_EQ(m.inputs[0].services[0].id, 77);
    EXPECT_TRUE(m.inputs[0].services[0].crypted);
    EXPECT_FALSE(m.inputs[1].signal);
    // The double quote has no place in the character table.
    EXPECT_EQ(TableCodedText(m.inputs[0].services[0].name), Bytes("Caf\xE9 TV"));

    for (const char* bad : {R"("remoteReceiver":"10.1.2")", R"("remoteReceiver":"10.1.2.300")",
                            R"("inputs":[{"services":[{"name":"x"}]}])", R"("inputs":[{"tsid":70000}])",
                            R"("inputs":[{},{},{},{}])", R"("inputs":[{"signal":1}])"}) {
        const std::string text =
            std::string(R"({"modules":[{"type":0,"address":0},{"type":12,"address":10,)") + bad + "}]}";
        EXPECT_FALSE(LoadRackJson(text, error)) << bad;
    }
}

TEST(SimServices, CharacterTableCodingBothWays) {
    EXPECT_EQ(TableCodedText("d'\"x\xC2\xAD-\xE2\x82\xAC"), Bytes("d\x22x-")); // ', ", soft hyphen, euro
    const std::vector<uint8_t> coded = {0x86, 'A', 0x22, 0x87, 0xAD, 0xE9, 0};
    EXPECT_EQ(TableCodedToUtf8(coded), "A'-\xC3\xA9");
}

} // namespace
