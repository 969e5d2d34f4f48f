#include "tools/json/TunerJson.h"

#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "tools/json/JsonFieldReader.h"

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

std::string Clock(uint32_t minutes) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u", (minutes / 60) % 100, minutes % 60);
    return text;
}

json SectionToJson(uint8_t type, const InputSection& s) {
    json j = {{"frequencyMHz", s.frequencyMHz}, {"symbolRate", s.symbolRate}};
    if (LayoutOfType(type) == BlockLayout::SingleTuner) {
        j["fecIndex"] = s.fecIndex;
        const char* fec = FecText(s.fecIndex);
        j["fecText"] = *fec ? json(fec) : json(nullptr);
    } else {
        j["horizontal"] = s.horizontal;
        j["polarisationText"] = kPolarisations[s.horizontal ? 1 : 0];
    }
    json services = json::array();
    for (const auto& service : s.services)
        services.push_back({{"serviceId", service.serviceId}, {"cam", service.cam}});
    j["services"] = std::move(services);
    return j;
}

void SectionFromJson(JsonFieldReader& f, const json& j, const std::string& path, uint8_t type,
                     InputSection& s) {
    f.Integer(j, path, "frequencyMHz", s.frequencyMHz, 0, 1000000);
    f.Integer(j, path, "symbolRate", s.symbolRate);
    if (LayoutOfType(type) == BlockLayout::SingleTuner)
        f.Integer(j, path, "fecIndex", s.fecIndex, kMinFecIndex, kMaxFecIndex);
    else
        f.Bool(j, path, "horizontal", s.horizontal);
    if (const json* services = f.Array(j, path, "services", kMaxSectionServices)) {
        s.services.assign(services->size(), {});
        for (size_t i = 0; i < services->size() && f.Ok(); ++i) {
            const std::string at = JsonFieldReader::Index(path, "services", i);
            f.Integer((*services)[i], at, "serviceId", s.services[i].serviceId);
            f.Integer((*services)[i], at, "cam", s.services[i].cam);
        }
    }
}

json TailToJson(const TunerValues& v) {
    json j;
    j["streamingServiceId"] = v.streamingServiceId;
    json schedule = json::array();
    for (const auto& entry : v.schedule) {
        schedule.push_back({{"start", entry.start},
                            {"end", entry.end},
                            {"startText", Clock(entry.start)},
                            {"endText", Clock(entry.end)},
                            {"fileName", ToUtf8(entry.fileName)}});
    }
    j["schedule"] = std::move(schedule);
    j["playoutRate"] = v.playoutRate;
    j["streamedName"] = ToUtf8(v.streamedName);
    j["keptBytes"] = HexText(v.keptBytes);
    j["serverAddress"] = ToUtf8(v.serverAddress);
    j["serverPort"] = v.serverPort;
    j["switchA"] = v.switchA;
    j["switchAText"] = ChoiceText(kSwitches, v.switchA);
    j["switchB"] = v.switchB;
    j["switchBText"] = ChoiceText(kSwitches, v.switchB);
    json terrestrial = json::array();
    for (const auto& t : v.terrestrial) {
        terrestrial.push_back({{"standard", t.standard},
                               {"standardText", ChoiceText(kStandards, t.standard)},
                               {"bandwidthMHz", t.bandwidthMHz},
                               {"frequencyKHz", t.frequencyKHz}});
    }
    j["terrestrial"] = std::move(terrestrial);
    j["lockTimeout"] = v.lockTimeout;
    j["lockWatchdog"] = v.lockWatchdog;
    j["lockFieldsPresent"] = v.lockFieldsPresent;
    return j;
}

void TailFromJson(JsonFieldReader& f, const json& j, TunerValues& v) {
    f.Integer(j, "", "streamingServiceId", v.streamingServiceId);
    if (const json* schedule = f.Array(j, "", "schedule", kMaxScheduleEntries)) {
        v.schedule.assign(schedule->size(), {});
        for (size_t i = 0; i < schedule->size() && f.Ok(); ++i) {
            const std::string at = JsonFieldReader::Index("", "schedule", i);
            f.Integer((*schedule)[i], at, "start", v.schedule[i].start);
            f.Integer((*schedule)[i], at, "end", v.schedule[i].end);
            f.Text((*schedule)[i], at, "fileName", v.schedule[i].fileName);
        }
    }
    f.Integer(j, "", "playoutRate", v.playoutRate);
    f.Text(j, "", "streamedName", v.streamedName);
    f.HexBytes(j, "", "keptBytes", v.keptBytes);
    f.Text(j, "", "serverAddress", v.serverAddress);
    f.Integer(j, "", "serverPort", v.serverPort);
    f.Integer(j, "", "switchA", v.switchA);
    f.Integer(j, "", "switchB", v.switchB);
    if (const json* terrestrial = f.Array(j, "", "terrestrial", v.terrestrial.size())) {
        for (size_t i = 0; i < terrestrial->size() && f.Ok(); ++i) {
            const std::string at = JsonFieldReader::Index("", "terrestrial", i);
            f.Integer((*terrestrial)[i], at, "standard", v.terrestrial[i].standard);
            f.Integer((*terrestrial)[i], at, "bandwidthMHz", v.terrestrial[i].bandwidthMHz);
            f.Integer((*terrestrial)[i], at, "frequencyKHz", v.terrestrial[i].frequencyKHz);
        }
    }
    f.Integer(j, "", "lockTimeout", v.lockTimeout);
    f.Bool(j, "", "lockWatchdog", v.lockWatchdog);
    f.Bool(j, "", "lockFieldsPresent", v.lockFieldsPresent);
}

} // namespace

json TunerToJson(const TunerValues& values, const TunerChecks& checks) {
    json j;
    j["type"] = values.type;
    json sections = json::array();
    for (const auto& section : values.sections)
        sections.push_back(SectionToJson(values.type, section));
    j["sections"] = std::move(sections);
    if (LayoutOfType(values.type) == BlockLayout::DualTuner)
        j.update(TailToJson(values));
    j["page"] = {{"lockTimeoutChecked", checks.lockTimeout}, {"lockWatchdogChecked", checks.lockWatchdog}};
    return j;
}

bool TunerFromJson(const json& j, TunerValues& values, TunerChecks& checks, std::string& error) {
    error.clear();
    JsonFieldReader f(error);
    const size_t sectionCount = static_cast<size_t>(TunerSectionCount(values.type));
    if (const json* type = f.Member(j, "", "type")) {
        if (!type->is_number_integer() || type->get<long long>() != values.type)
            f.Fail("type", "does not match module type " + std::to_string(values.type));
    }
    values.sections.resize(sectionCount);
    if (const json* sections = f.Array(j, "", "sections", sectionCount)) {
        for (size_t i = 0; i < sections->size() && f.Ok(); ++i)
            SectionFromJson(f, (*sections)[i], JsonFieldReader::Index("", "sections", i), values.type,
                            values.sections[i]);
    }
    if (LayoutOfType(values.type) == BlockLayout::DualTuner)
        TailFromJson(f, j, values);
    checks = ChecksFor(values);
    if (const json* page = f.Member(j, "", "page")) {
        f.Bool(*page, "page", "lockTimeoutChecked", checks.lockTimeout);
        f.Bool(*page, "page", "lockWatchdogChecked", checks.lockWatchdog);
    }
    return f.Ok();
}

} // namespace kaptiv::tools
