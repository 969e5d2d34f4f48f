#pragma once
// Alarm conditions of a rack, evaluated from its measures (monitor/Measures.h). Each alarm
// names the module (slot, address) and, for a tuner input, the input; thresholds come from
// the caller.
#include "monitor/Measures.h"

#include <string>
#include <vector>

namespace kaptiv::monitor {

enum class AlarmKind {
    ModuleMissing,   // listed by the controller, but no identification answer
    TypeMismatch,    // identifies as another type than the module list gives
    InputNoLock,     // a tuner input without lock
    LevelLow,        // a tuner input's level under the threshold
    CamRemoved,      // a common-interface module without CAM
    OutputStopped,   // an output module whose output does not run
    TemperatureHigh, // a module above the temperature threshold
    SupplyFault,     // the controller reports its supply not good
    FanStopped,      // the controller's fan does not run
};
// "module_missing", "input_no_lock"...: the label value of the alarm.
const char* LabelOf(AlarmKind kind);

struct AlarmThresholds {
    int minLevel = 30;              // level under this raises LevelLow
    int maxTemperatureCelsius = 60; // temperature above this raises TemperatureHigh
};

struct Alarm {
    AlarmKind kind = AlarmKind::ModuleMissing;
    int slot = 0;
    uint8_t address = 0;
    std::string input; // tuner alarms: "A", "B"; else empty
};

std::vector<Alarm> EvaluateAlarms(const RackMeasures& rack, const AlarmThresholds& thresholds = {});

} // namespace kaptiv::monitor
