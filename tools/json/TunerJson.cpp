#include "tools/json/TunerJson.h"

#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "tools/json/BlockFields.h"

#include <array>

namespace kaptiv::tools {

using nlohmann::json;
using namespace kaptiv::settings;

namespace {

constexpr std::array<const char*, 2> kPolarisations = {"V", "H"};
constexpr std::array<const char*, 4> kSwitches = {"A", "B", "C", "D"};
constexpr std::array<const char*, 3> kStandards = {"DVB-C", "DVB-T", "DVB-T2"};
constexpr int kMaxFecIndex = 0xFF - 14; // the FEC code is 14 + index in one byte
constexpr int kMinFecIndex = -14;
constexpr int kMaxFrequencyMHz = 1000000;

std::string Clock(uint32_t minutes) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u", (minutes / 60) % 100, minutes % 60);
    return text;
}

// One input section: a single-input tuner shows its FEC, the others their polarisation.
template <class V, class Section> void SectionFields(V& v, uint8_t type, Section& s) {
    v.Integer("frequencyMHz", s.frequencyMHz, 0, kMaxFrequencyMHz);
    v.Integer("symbolRate", s.symbolRate);
    if (LayoutOfType(type) == BlockLayout::SingleTuner) {
        v.Integer("fecIndex", s.fecIndex, kMinFecIndex, kMaxFecIndex);
        v.Shown("fecText", [&] {
            const char* fec = FecText(s.fecIndex);
            return *fec ? json(fec) : json(nullptr);
        });
    } else {
        v.Bool("horizontal", s.horizontal);
        v.Shown("polarisationText", [&] { return kPolarisations[s.horizontal ? 1 : 0]; });
    }
    v.Entries("services", s.services, kMaxSectionServices, [](auto& v, auto& service, size_t) {
        v.Integer("serviceId", service.serviceId);
        v.Integer("cam", service.cam);
    });
}

// What follows the sections in the block of a three-input tuner.
template <class V, class Values> void TailFields(V& v, Values& t) {
    v.Integer("streamingServiceId", t.streamingServiceId);
    v.Entries("schedule", t.schedule, kMaxScheduleEntries, [](auto& v, auto& entry, size_t) {
        v.Integer("start", entry.start);
        v.Integer("end", entry.end);
        v.Shown("startText", [&] { return Clock(entry.start); });
        v.Shown("endText", [&] { return Clock(entry.end); });
        v.Text("fileName", entry.fileName);
    });
    v.Integer("playoutRate", t.playoutRate);
    v.Text("streamedName", t.streamedName);
    v.Hex("keptBytes", t.keptBytes);
    v.Text("serverAddress", t.serverAddress);
    v.Integer("serverPort", t.serverPort);
    v.Choice("switchA", "switchAText", t.switchA, kSwitches);
    v.Choice("switchB", "switchBText", t.switchB, kSwitches);
    v.Objects("terrestrial", t.terrestrial, t.terrestrial.size(), [](auto& v, auto& tuning, size_t) {
        v.Choice("standard", "standardText", tuning.standard, kStandards);
        v.Integer("bandwidthMHz", tuning.bandwidthMHz);
        v.Integer("frequencyKHz", tuning.frequencyKHz);
    });
    v.Integer("lockTimeout", t.lockTimeout);
    v.Bool("lockWatchdog", t.lockWatchdog);
    v.Bool("lockFieldsPresent", t.lockFieldsPresent);
}

// "page" holds the check boxes that decide the written lock settings; read back, they start
// from what the values imply.
template <class V, class Values, class Checks> void TunerFields(V& v, Values& values, Checks& checks) {
    v.TypeTag("type", values.type);
    if constexpr (V::kReading)
        values.sections.resize(static_cast<size_t>(TunerSectionCount(values.type)));
    v.Objects("sections", values.sections, values.sections.size(),
              [&](auto& v, auto& section, size_t) { SectionFields(v, values.type, section); });
    if (LayoutOfType(values.type) == BlockLayout::DualTuner)
        TailFields(v, values);
    if constexpr (V::kReading)
        checks = ChecksFor(values);
    v.Object("page", [&](auto& v) {
        v.Bool("lockTimeoutChecked", checks.lockTimeout);
        v.Bool("lockWatchdogChecked", checks.lockWatchdog);
    });
}

} // namespace

json TunerToJson(const TunerValues& values, const TunerChecks& checks) {
    return WriteJson([&](auto& v) { TunerFields(v, values, checks); });
}

bool TunerFromJson(const json& j, TunerValues& values, TunerChecks& checks, std::string& error) {
    return ReadJson<PathMessages>(j, error, [&](auto& v) { TunerFields(v, values, checks); });
}

} // namespace kaptiv::tools
