#include "monitor/Measures.h"

#include "link/CXmit.h"
#include "platform/ModuleType.h"
#include "settings/IpStreamerBlock.h"
#include "settings/StatusAnswers.h"

#include <span>

namespace kaptiv::monitor {

namespace {

constexpr uint8_t kUsbKeyPresent = 1;
constexpr uint8_t kFanRunning = 1;
constexpr uint64_t kBitsPerKilobit = 1000;

// Identification answer: 0x77, type, release, hardware revision, wanted and running
// personality, extra status; the shorter forms leave the later bytes out.
void DecodeIdentify(const Bytes& answer, ModuleMeasures& m) {
    if (answer.size() < 3 || answer[0] != link::CXmit::kIdentifyMark)
        return; // an answer, but no identification: the module is up, its type unknown
    m.identifiedType = answer[1];
    m.release = answer[2];
    m.hwRevision = answer.size() >= 4 ? answer[3] : 0;
    m.wantedPersonality = answer.size() >= 5 ? answer[4] : 255;
    m.runningPersonality = answer.size() >= 6 ? answer[5] : 255;
}

std::span<const uint8_t> View(const std::optional<Bytes>& bytes) {
    return bytes ? std::span<const uint8_t>(*bytes) : std::span<const uint8_t>();
}

using FamilyMeasures = void (*)(const ModuleAnswers&, ModuleMeasures&);

void ControllerMeasures(const ModuleAnswers& a, ModuleMeasures& m) {
    const auto s = settings::ParseControllerStatusAnswer(View(a.status));
    if (s.supply)
        m.supplyGood = *s.supply == settings::kSupplyGood;
    if (s.temperatureCelsius)
        m.temperatureCelsius = *s.temperatureCelsius;
    if (s.fan)
        m.fanRunning = *s.fan == kFanRunning;
}

void TunerMeasures(const ModuleAnswers& a, ModuleMeasures& m) {
    const uint8_t type = m.Type();
    const bool streaming = LayoutOfType(type) == BlockLayout::DualTuner;
    const int inputs = streaming ? 2 : 1; // the status carries inputs A (and B)
    const auto s = settings::ParseTunerStatusAnswer(inputs, streaming, View(a.status));
    for (size_t i = 0; i < s.inputs.size(); ++i)
        m.inputs.push_back({std::string(1, static_cast<char>('A' + i)), s.inputs[i].lock, s.inputs[i].level,
                            s.inputs[i].quality});
    if (s.usbKey)
        m.usbKeyPresent = *s.usbKey == kUsbKeyPresent;
}

void EncoderMeasures(const ModuleAnswers& a, ModuleMeasures& m) {
    m.encoderChangeCounter = settings::ParseEncoderStatusAnswer(View(a.status)).counter;
}

void CommonInterfaceMeasures(const ModuleAnswers& a, ModuleMeasures& m) {
    m.camState = settings::ParseCamStatusAnswer(View(a.status));
}

void OutputState(const ModuleAnswers& a, ModuleMeasures& m) {
    const auto s = settings::ParseOutputStatusAnswer(View(a.status));
    if (s.state)
        m.outputRunning = *s.state == settings::kOutputRunning;
    if (s.temperatureCelsius)
        m.temperatureCelsius = *s.temperatureCelsius;
}

void ModulatorMeasures(const ModuleAnswers& a, ModuleMeasures& m) {
    OutputState(a, m);
    if (!a.readData)
        return;
    const auto r = settings::ParseModulatorRatesAnswer(OutputChannelCount(m.Type()), *a.readData);
    int channel = 1;
    for (const auto& c : r.channels)
        m.channels.push_back({channel++, c.usedBps, c.capacityBps});
}

void StreamerMeasures(const ModuleAnswers& a, ModuleMeasures& m) {
    OutputState(a, m);
    if (!a.readData)
        return;
    const auto r = settings::ParseStreamerRatesAnswer(*a.readData);
    if (!r.total)
        return;
    uint8_t protocol = 0;
    if (a.parameters)
        if (const auto block = settings::DecodeIpStreamerBlock(*a.parameters); block.Ok())
            protocol = block.values.protocol;
    m.streamerRateBps = uint64_t{settings::StreamerTotalKbpsOf(*r.total, protocol)} * kBitsPerKilobit;
}

void NoMeasures(const ModuleAnswers&, ModuleMeasures&) {}

FamilyMeasures MeasuresOf(uint8_t type) {
    switch (LayoutOfType(type)) {
    case BlockLayout::SingleTuner:
    case BlockLayout::DualTuner:
        return TunerMeasures;
    case BlockLayout::Encoder:
    case BlockLayout::HdEncoder:
        return EncoderMeasures;
    case BlockLayout::Modulator:
        return ModulatorMeasures;
    case BlockLayout::IpStreamer:
        return StreamerMeasures;
    case BlockLayout::None:
        break;
    }
    switch (RoleOf(type)) {
    case ModuleRole::Controller:
        return ControllerMeasures;
    case ModuleRole::CommonInterface:
        return CommonInterfaceMeasures;
    default:
        return NoMeasures;
    }
}

} // namespace

bool TunerInputMeasure::Locked() const {
    return lock == settings::kLockLocked;
}

RackMeasures DecodeRound(const RoundAnswers& round) {
    RackMeasures rack;
    rack.failure = round.failure;
    rack.exchanges = round.exchanges;
    rack.failedExchanges = round.failedExchanges;
    for (const ModuleAnswers& a : round.modules) {
        ModuleMeasures m;
        m.slot = a.slot;
        m.address = a.address;
        m.listedType = a.listedType;
        m.asked = a.asked || a.identify.has_value();
        m.up = a.identify.has_value();
        if (a.identify)
            DecodeIdentify(*a.identify, m);
        m.statusAnswered = a.status.has_value();
        if (m.up) // a module of another type than listed is read as what it says it is
            MeasuresOf(m.Type())(a, m);
        rack.modules.push_back(std::move(m));
    }
    return rack;
}

} // namespace kaptiv::monitor
