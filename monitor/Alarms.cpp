#include "monitor/Alarms.h"

#include "settings/StatusAnswers.h"

namespace kaptiv::monitor {

const char* LabelOf(AlarmKind kind) {
    switch (kind) {
    case AlarmKind::ModuleMissing:
        return "module_missing";
    case AlarmKind::TypeMismatch:
        return "type_mismatch";
    case AlarmKind::InputNoLock:
        return "input_no_lock";
    case AlarmKind::LevelLow:
        return "level_low";
    case AlarmKind::CamRemoved:
        return "cam_removed";
    case AlarmKind::OutputStopped:
        return "output_stopped";
    case AlarmKind::TemperatureHigh:
        return "temperature_high";
    case AlarmKind::SupplyFault:
        return "supply_fault";
    case AlarmKind::FanStopped:
        return "fan_stopped";
    }
    return "unknown";
}

std::vector<Alarm> EvaluateAlarms(const RackMeasures& rack, const AlarmThresholds& thresholds) {
    std::vector<Alarm> alarms;
    for (const ModuleMeasures& m : rack.modules) {
        auto raise = [&](AlarmKind kind, std::string input = {}) {
            alarms.push_back({kind, m.slot, m.address, std::move(input)});
        };
        if (!m.asked)
            continue;
        if (!m.up) {
            raise(AlarmKind::ModuleMissing);
            continue;
        }
        if (!m.TypeMatchesList())
            raise(AlarmKind::TypeMismatch);
        for (const TunerInputMeasure& input : m.inputs) {
            if (!input.Locked())
                raise(AlarmKind::InputNoLock, input.name);
            if (input.level < thresholds.minLevel)
                raise(AlarmKind::LevelLow, input.name);
        }
        if (m.camState == settings::kCamAbsent)
            raise(AlarmKind::CamRemoved);
        if (m.outputRunning == false)
            raise(AlarmKind::OutputStopped);
        if (m.temperatureCelsius && *m.temperatureCelsius > thresholds.maxTemperatureCelsius)
            raise(AlarmKind::TemperatureHigh);
        if (m.supplyGood == false)
            raise(AlarmKind::SupplyFault);
        if (m.fanRunning == false)
            raise(AlarmKind::FanStopped);
    }
    return alarms;
}

} // namespace kaptiv::monitor
