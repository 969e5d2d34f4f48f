#include "sim/ConfigFileRack.h"

#include <algorithm>
#include <cstdio>
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
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    // One byte more than the largest file that fits, so that a longer one is seen as such.
    std::vector<uint8_t> bytes(kMaxModules * (kHeader + kMaxBlock) + 1);
    const size_t n = std::fread(bytes.data(), 1, bytes.size(), in);
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    bytes.resize(n);
    auto rack = RackFromConfigBytes(bytes, error);
    if (!rack)
        error = path + ": " + error;
    return rack;
}

std::vector<uint8_t> ConfigBytesOfRack(const RackEngine& engine) {
    std::vector<uint8_t> out;
    for (const ModuleConfig& m : engine.Config().modules) {
        const std::vector<uint8_t> block = engine.CurrentBlock(m.address);
        const size_t length = std::min(block.size(), kMaxBlock);
        out.push_back(m.type);
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(length));
        out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
    }
    return out;
}

bool SaveRackAsConfig(const RackEngine& engine, const std::string& path, std::string& error) {
    const std::vector<uint8_t> bytes = ConfigBytesOfRack(engine);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        error = "cannot create " + path;
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace mulvane
