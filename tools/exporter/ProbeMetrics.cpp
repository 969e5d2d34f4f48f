#include "tools/exporter/ProbeMetrics.h"

#include "platform/ModuleType.h"
#include "settings/StatusAnswers.h"

#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <array>
#include <cstdio>
#include <string_view>

namespace kaptiv::exporter {

namespace {

using prometheus::Gauge;
using prometheus::Labels;
using GaugeFamily = prometheus::Family<Gauge>;

constexpr std::array<std::pair<uint8_t, const char*>, 3> kCamStates = {
    {{settings::kCamAbsent, "absent"},
     {settings::kCamInitialising, "initialising"},
     {settings::kCamReady, "ready"}}};
constexpr uint8_t kNoPersonality = 255;

// The families of one probe's answer, registered once per answer.
class ProbeFamilies {
public:
    explicit ProbeFamilies(prometheus::Registry& r) : m_registry(r) {}

    GaugeFamily& Get(std::string_view name, std::string_view help) {
        return prometheus::BuildGauge().Name(std::string(name)).Help(std::string(help)).Register(m_registry);
    }

private:
    prometheus::Registry& m_registry;
};

Labels ModuleLabels(const monitor::ModuleMeasures& m) {
    const uint8_t type = m.Type();
    const char* name = ModuleName(type);
    return {{"slot", std::to_string(m.slot)},
            {"address", std::to_string(m.address)},
            {"type", std::to_string(type)},
            {"module", *name ? name : "unknown"}};
}

Labels With(Labels labels, const std::string& key, const std::string& value) {
    labels.emplace(key, value);
    return labels;
}

std::string ReleaseText(uint8_t release) {
    char text[8];
    std::snprintf(text, sizeof text, "%d.%d", release / 10, release % 10);
    return text;
}

} // namespace

std::string RenderProbe(const ProbeResult& result) {
    prometheus::Registry registry;
    ProbeFamilies f(registry);
    f.Get("kaptiv_probe_success", "1 when the status round over the rack completed, else 0")
        .Add({})
        .Set(result.success ? 1 : 0);
    f.Get("kaptiv_probe_duration_seconds", "Time the probe took, link opening and closing included")
        .Add({})
        .Set(result.durationSeconds);
    if (!result.success)
        f.Get("kaptiv_probe_failure", "Why the probe failed (one series, value 1)")
            .Add({{"reason", result.reason}})
            .Set(1);
    const monitor::RackMeasures& rack = result.measures;
    if (rack.modules.empty())
        return prometheus::TextSerializer().Serialize(registry.Collect());

    f.Get("kaptiv_probe_exchanges", "Requests sent to the rack in the round").Add({}).Set(rack.exchanges);
    f.Get("kaptiv_probe_failed_exchanges", "Requests of the round that got no positive answer")
        .Add({})
        .Set(rack.failedExchanges);
    f.Get("kaptiv_rack_modules", "Modules of the rack, the controller included")
        .Add({})
        .Set(static_cast<double>(rack.modules.size()));

    auto& up = f.Get("kaptiv_module_up", "1 when the module answers its identification, else 0");
    auto& info = f.Get("kaptiv_module_info", "Release, hardware revision and personality of the module");
    auto& typeOk = f.Get("kaptiv_module_type_matches_list",
                         "1 when the module identifies as the type the controller's module list gives");
    auto& locked = f.Get("kaptiv_tuner_input_locked", "1 when the tuner input is locked, else 0");
    auto& level = f.Get("kaptiv_tuner_input_level", "Signal level of the tuner input (0 to 100)");
    auto& quality = f.Get("kaptiv_tuner_input_quality", "Signal quality of the tuner input (0 to 100)");
    auto& usbKey = f.Get("kaptiv_usb_key_present", "1 when the streaming tuner's USB key is present");
    auto& cam =
        f.Get("kaptiv_cam_state", "State of the CAM of a common-interface module: 1 for the current state");
    auto& running = f.Get("kaptiv_output_running", "1 when the output module's output runs");
    auto& temperature = f.Get("kaptiv_temperature_celsius", "Temperature the module reports");
    auto& rate = f.Get("kaptiv_output_rate_bits_per_second", "Rate used on the output channel");
    auto& capacity = f.Get("kaptiv_output_capacity_bits_per_second", "Capacity of the output channel");
    auto& supply = f.Get("kaptiv_supply_ok", "1 when the rack controller reports its supply good");
    auto& fan = f.Get("kaptiv_fan_running", "1 when the rack controller's fan runs");
    auto& alarm = f.Get("kaptiv_alarm", "An alarm condition the rack watch sees (value 1 while it holds)");

    for (const monitor::ModuleMeasures& m : rack.modules) {
        if (!m.asked)
            continue; // the round ran out of time first: nothing is known of it
        const Labels labels = ModuleLabels(m);
        up.Add(labels).Set(m.up ? 1 : 0);
        if (!m.up)
            continue;
        if (m.identifiedType) {
            Labels l = labels;
            l.emplace("release", ReleaseText(m.release));
            l.emplace("hw_revision", std::to_string(m.hwRevision));
            l.emplace("personality",
                      m.runningPersonality == kNoPersonality ? "none" : std::to_string(m.runningPersonality));
            info.Add(l).Set(1);
        }
        typeOk.Add(labels).Set(m.TypeMatchesList() ? 1 : 0);
        for (const monitor::TunerInputMeasure& input : m.inputs) {
            const Labels l = With(labels, "input", input.name);
            locked.Add(l).Set(input.Locked() ? 1 : 0);
            level.Add(l).Set(input.level);
            quality.Add(l).Set(input.quality);
        }
        if (m.usbKeyPresent)
            usbKey.Add(labels).Set(*m.usbKeyPresent ? 1 : 0);
        if (m.camState)
            for (const auto& [value, name] : kCamStates)
                cam.Add(With(labels, "state", name)).Set(*m.camState == value ? 1 : 0);
        if (m.outputRunning)
            running.Add(labels).Set(*m.outputRunning ? 1 : 0);
        if (m.temperatureCelsius)
            temperature.Add(labels).Set(*m.temperatureCelsius);
        for (const monitor::ChannelRateMeasure& c : m.channels) {
            const Labels l = With(labels, "channel", std::to_string(c.channel));
            rate.Add(l).Set(static_cast<double>(c.usedBps));
            capacity.Add(l).Set(static_cast<double>(c.capacityBps));
        }
        if (m.streamerRateBps)
            rate.Add(With(labels, "channel", "all")).Set(static_cast<double>(*m.streamerRateBps));
        if (m.supplyGood)
            supply.Add(labels).Set(*m.supplyGood ? 1 : 0);
        if (m.fanRunning)
            fan.Add(labels).Set(*m.fanRunning ? 1 : 0);
    }
    for (const monitor::Alarm& a : result.alarms) {
        for (const monitor::ModuleMeasures& m : rack.modules)
            if (m.slot == a.slot && m.address == a.address) {
                Labels l = With(ModuleLabels(m), "alarm", monitor::LabelOf(a.kind));
                if (!a.input.empty())
                    l.emplace("input", a.input);
                alarm.Add(l).Set(1);
                break;
            }
    }
    return prometheus::TextSerializer().Serialize(registry.Collect());
}

} // namespace kaptiv::exporter
