#include "rack/ModuleType.h"

#include <array>

namespace kaptiv::rack {

namespace {

struct TypeInfo {
    const char* name;
    ModuleRole role;
};

constexpr std::array<TypeInfo, kTypeCount> kTypes = {{
    {"RkPSU", ModuleRole::Controller},
    {"RkSat1.0", ModuleRole::Input},
    {"RkModT1", ModuleRole::Output},
    {"RkCI", ModuleRole::CommonInterface},
    {"RkSat1", ModuleRole::Input},
    {"RkModT2", ModuleRole::Output},
    {"RkModT4", ModuleRole::Output},
    {"RkSat2.0", ModuleRole::Input},
    {"RkModC4", ModuleRole::Output},
    {"RkAV", ModuleRole::Input},
    {"RkSat2", ModuleRole::Input},
    {"RkModC2", ModuleRole::Output},
    {"QVXCT2", ModuleRole::Input},
    {"QVXIP", ModuleRole::Output},
    {"RkHD", ModuleRole::Input},
}};

} // namespace

std::string ModuleName(uint8_t type) {
    return type < kTypeCount ? kTypes[type].name : "";
}

ModuleRole RoleOf(uint8_t type) {
    return type < kTypeCount ? kTypes[type].role : ModuleRole::None;
}

bool HasEditableBlock(uint8_t type) {
    return type < kTypeCount && type != kTypeController && type != kTypeCommonInterface;
}

bool TakesApplyRequest(uint8_t type) {
    return RoleOf(type) == ModuleRole::Output && type != kTypeIpStreamer;
}

} // namespace kaptiv::rack
