#include "sim/ConfigFileRack.h"

#include "platform/FileAccess.h"

#include <vector>

namespace mulvane {

namespace {

constexpr size_t kMaxModules = 15;
constexpr size_t kMaxBlock = 1024;
constexpr size_t kHeader = 3;
constexpr uint8_t kFirstAddress = 9;
constexpr uint8_t kRelease = 30;

} // namespace

std::optional<RackConfig> RackFromConfigBytes(std::span<const uint8_t> bytes, std::string& error) {
    RackConfig rack;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t slot = rack.modules.size();
        const std::string where = "entry " + std::to_string(slot) + ": ";
        if (slot >= kMaxModules) {
            error = "more than " + std::to_string(kMaxModules) + " modules";
            return std::nullopt;
        }
        if (bytes.size() - pos < kHeader) {
            error = where + "the file ends inside its header";
            return std::nullopt;
        }
        ModuleConfig m;
        m.type = bytes[pos];
        const size_t length = size_t(bytes[pos + 1]) << 8 | bytes[pos + 2];
        pos += kHeader;
        if (m.type > kMaxModuleType) {
            error = where + "type " + std::to_string(m.type) + " is not a module type";
            return std::nullopt;
        }
        if (length > kMaxBlock) {
            error = where + "block of " + std::to_string(length) + " bytes, more than " +
                    std::to_string(kMaxBlock);
            return std::nullopt;
        }
        if (bytes.size() - pos < length) {
            error = where + "the file ends inside its " + std::to_string(length) + "-byte block";
            return std::nullopt;
        }
        if (slot == 0 && m.type != 0) {
            error = "the first entry must be the rack controller (type 0)";
            return std::nullopt;
        }
        m.address = slot == 0 ? 0 : static_cast<uint8_t>(kFirstAddress + slot);
        m.release = kRelease;
        m.wantedPersonality = 1;
        m.runningPersonality = 1;
        m.block.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                       bytes.begin() + static_cast<std::ptrdiff_t>(pos + length));
        pos += length;
        rack.modules.push_back(std::move(m));
    }
    if (rack.modules.empty()) {
        error = "the file holds no module";
        return std::nullopt;
    }
    if (!ValidateRack(rack, error))
        return std::nullopt;
    return rack;
}

std::optional<RackConfig> RackFromConfigFile(const std::string& path, std::string& error) {
    // One byte more than the largest file that fits, so that a longer one is seen as such.
    const kaptiv::platform::FileReadResult read = kaptiv::platform::ReadRegularFile(
        path, kMaxModules * (kHeader + kMaxBlock) + 1, kaptiv::platform::OverLimit::ReadPrefix);
    if (!read) {
        error = read.error;
        return std::nullopt;
    }
    auto rack = RackFromConfigBytes(read.bytes, error);
    if (!rack)
        error = path + ": " + error;
    return rack;
}

std::optional<std::vector<uint8_t>> ConfigBytesOfRack(const RackEngine& engine, std::string& error) {
    const auto& modules = engine.Config().modules;
    if (modules.size() > kMaxModules) {
        error = "the rack has " + std::to_string(modules.size()) +
                " modules; a configuration file holds at most " + std::to_string(kMaxModules);
        return std::nullopt;
    }
    std::vector<uint8_t> out;
    for (size_t slot = 0; slot < modules.size(); ++slot) {
        const ModuleConfig& m = modules[slot];
        const std::vector<uint8_t> block = engine.CurrentBlock(m.address);
        // Never cut: a block saved shorter than the module holds would load back as another.
        if (block.size() > kMaxBlock) {
            error = "module " + std::to_string(slot) + " (address " + std::to_string(m.address) +
                    ") holds a " + std::to_string(block.size()) +
                    "-byte block; a configuration file holds at most " + std::to_string(kMaxBlock) +
                    " bytes per module";
            return std::nullopt;
        }
        out.push_back(m.type);
        out.push_back(static_cast<uint8_t>(block.size() >> 8));
        out.push_back(static_cast<uint8_t>(block.size()));
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

bool SaveRackAsConfig(const RackEngine& engine, const std::string& path, std::string& error) {
    const std::optional<std::vector<uint8_t>> bytes = ConfigBytesOfRack(engine, error);
    if (!bytes) {
        error = path + " not written: " + error;
        return false;
    }
    const kaptiv::platform::FileResult written = kaptiv::platform::WriteFileAtomic(path, *bytes);
    if (!written) {
        error = written.error;
        return false;
    }
    return true;
}

} // namespace mulvane
