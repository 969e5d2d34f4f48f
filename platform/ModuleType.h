#pragma once
// The one vocabulary of module types: the one-byte code a module reports when identified,
// the name the installer sees, its role in a chain, the layout of its parameter block, and
// the counts a settings page needs (input lists, output channels). Every layer that needs a
// type code takes it from here; no other file spells a type number.
#include <array>
#include <cstdint>

namespace kaptiv {

namespace type {
inline constexpr uint8_t kPowerSupply = 0;     // "RkPSU", the rack controller, always entry 0
inline constexpr uint8_t kSat1_0 = 1;          // "RkSat1.0"
inline constexpr uint8_t kModT1 = 2;           // "RkModT1"
inline constexpr uint8_t kCommonInterface = 3; // "RkCI"
inline constexpr uint8_t kSat1 = 4;            // "RkSat1"
inline constexpr uint8_t kModT2 = 5;           // "RkModT2"
inline constexpr uint8_t kModT4 = 6;           // "RkModT4"
inline constexpr uint8_t kSat2_0 = 7;          // "RkSat2.0", firmware family shared with 10 and 12
inline constexpr uint8_t kModC4 = 8;           // "RkModC4"
inline constexpr uint8_t kAvEncoder = 9;       // "RkAV"
inline constexpr uint8_t kSat2 = 10;           // "RkSat2"
inline constexpr uint8_t kModC2 = 11;          // "RkModC2"
inline constexpr uint8_t kTerrestrial = 12;    // "QVXCT2"
inline constexpr uint8_t kIpStreamer = 13;     // "QVXIP"
inline constexpr uint8_t kHdEncoder = 14;      // "RkHD"
inline constexpr uint8_t kCount = 15;          // codes 15 and above have no name and no role
} // namespace type

enum class ModuleRole { None, Controller, Input, CommonInterface, Output };

enum class BlockLayout {
    None,        // power supply, common-interface module, unknown codes: nothing to edit
    SingleTuner, // TunerBlock with one input section
    DualTuner,   // TunerBlock with sections A, B, C and the extended tail
    Encoder,     // EncoderBlock
    HdEncoder,   // HdEncoderBlock
    Modulator,   // ModulatorBlock
    IpStreamer,  // IpStreamerBlock
};

struct ModuleTypeInfo {
    const char* name;
    ModuleRole role;
    BlockLayout layout;
    int inputLists;     // service lists of an input module (sections or encoder channels)
    int outputChannels; // output channels or streams of an output module
};

inline constexpr std::array<ModuleTypeInfo, type::kCount> kModuleTypes = {{
    {"RkPSU", ModuleRole::Controller, BlockLayout::None, 0, 0},
    {"RkSat1.0", ModuleRole::Input, BlockLayout::SingleTuner, 1, 0},
    {"RkModT1", ModuleRole::Output, BlockLayout::Modulator, 0, 1},
    {"RkCI", ModuleRole::CommonInterface, BlockLayout::None, 0, 0},
    {"RkSat1", ModuleRole::Input, BlockLayout::SingleTuner, 1, 0},
    {"RkModT2", ModuleRole::Output, BlockLayout::Modulator, 0, 2},
    {"RkModT4", ModuleRole::Output, BlockLayout::Modulator, 0, 4},
    {"RkSat2.0", ModuleRole::Input, BlockLayout::DualTuner, 3, 0},
    {"RkModC4", ModuleRole::Output, BlockLayout::Modulator, 0, 4},
    {"RkAV", ModuleRole::Input, BlockLayout::Encoder, 3, 0},
    {"RkSat2", ModuleRole::Input, BlockLayout::DualTuner, 3, 0},
    {"RkModC2", ModuleRole::Output, BlockLayout::Modulator, 0, 2},
    {"QVXCT2", ModuleRole::Input, BlockLayout::DualTuner, 3, 0},
    {"QVXIP", ModuleRole::Output, BlockLayout::IpStreamer, 0, 16},
    {"RkHD", ModuleRole::Input, BlockLayout::HdEncoder, 5, 0},
}};

constexpr bool IsKnownType(uint8_t code) {
    return code < type::kCount;
}

// "RkPSU", "RkSat1.0", ...; empty for codes of 15 or more.
constexpr const char* ModuleName(uint8_t code) {
    return IsKnownType(code) ? kModuleTypes[code].name : "";
}

constexpr ModuleRole RoleOf(uint8_t code) {
    return IsKnownType(code) ? kModuleTypes[code].role : ModuleRole::None;
}

constexpr BlockLayout LayoutOfType(uint8_t code) {
    return IsKnownType(code) ? kModuleTypes[code].layout : BlockLayout::None;
}

constexpr bool IsInputType(uint8_t code) {
    return RoleOf(code) == ModuleRole::Input;
}
constexpr bool IsOutputType(uint8_t code) {
    return RoleOf(code) == ModuleRole::Output;
}

constexpr bool IsTunerType(uint8_t code) {
    const BlockLayout layout = LayoutOfType(code);
    return layout == BlockLayout::SingleTuner || layout == BlockLayout::DualTuner;
}

constexpr bool IsModulatorType(uint8_t code) {
    return LayoutOfType(code) == BlockLayout::Modulator;
}

// Input sections of a tuner block: 1 for types 1 and 4, 3 (A, B, C) for 7, 10 and 12.
constexpr int TunerSectionCount(uint8_t code) {
    switch (LayoutOfType(code)) {
    case BlockLayout::SingleTuner:
        return 1;
    case BlockLayout::DualTuner:
        return 3;
    default:
        return 0;
    }
}

// Service lists of an input module: 3 for types 7, 9, 10, 12; 5 for 14; else 1.
constexpr int InputListCount(uint8_t code) {
    return IsInputType(code) ? kModuleTypes[code].inputLists : 1;
}

// Output channels: 1 for type 2, 2 for 5 and 11, 4 for 6 and 8, 16 for 13, else 0.
constexpr int OutputChannelCount(uint8_t code) {
    return IsKnownType(code) ? kModuleTypes[code].outputChannels : 0;
}

// Types whose parameter block the tool edits, compares and writes back (not 0, not 3).
constexpr bool HasEditableBlock(uint8_t code) {
    return LayoutOfType(code) != BlockLayout::None;
}

// Output types that are told to apply new settings (the IP streamer is not).
constexpr bool TakesApplyRequest(uint8_t code) {
    return IsOutputType(code) && code != type::kIpStreamer;
}

// Types 10 and 12 share the firmware family of type 7.
constexpr bool SharesSat2_0Firmware(uint8_t code) {
    return code == type::kSat2 || code == type::kTerrestrial;
}

} // namespace kaptiv
