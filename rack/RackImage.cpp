#include "rack/RackImage.h"

#include <algorithm>
#include <cstdio>

namespace kaptiv::rack {

bool ModuleRecord::SetBlock(std::span<const uint8_t> bytes) {
    if (bytes.size() > kMaxBlockSize)
        return false;
    std::copy(bytes.begin(), bytes.end(), block.begin());
    blockLength = static_cast<uint16_t>(bytes.size());
    return true;
}

bool ModuleRecord::DiffersFromReference() const {
    return blockLength != referenceLength ||
           !std::equal(block.begin(), block.begin() + blockLength, reference.begin());
}

std::string ReleaseText(const ModuleRecord& r) {
    char text[64];
    int n = std::snprintf(text, sizeof text, "\r\n%d.%d", r.release / 10, r.release % 10);
    if (r.hardwareRevision != 0 || r.type == type::kHdEncoder) {
        const size_t room = sizeof text - static_cast<size_t>(n);
        if (r.type == type::kIpStreamer)
            std::snprintf(text + n, room, ".%d", r.hardwareRevision);
        else if (r.type == type::kHdEncoder)
            std::snprintf(text + n, room, ".%d.%d", r.hardwareRevision, r.subRelease);
        else
            std::snprintf(text + n, room, "(H%d)", r.hardwareRevision);
    }
    return text;
}

std::string ListRowText(const ModuleRecord& record) {
    return ModuleName(record.type) + ReleaseText(record);
}

std::optional<std::vector<ModuleListEntry>> ParseModuleList(std::span<const uint8_t> answer) {
    const size_t count = answer.size() / kModuleListEntrySize;
    if (count > kHalfSize - 1)
        return std::nullopt;
    std::vector<ModuleListEntry> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back({answer[i * kModuleListEntrySize], answer[i * kModuleListEntrySize + 1]});
    return out;
}

void RackImage::StartScan() {
    records[0].type = type::kPowerSupply;
    records[0].address = 0;
    moduleCount = 1;
}

bool RackImage::Append(uint8_t address, uint8_t type) {
    if (moduleCount >= kHalfSize)
        return false;
    ModuleRecord& r = records[moduleCount++];
    r = ModuleRecord{};
    r.address = address;
    r.type = type;
    return true;
}

void RackImage::TakeReference() {
    for (size_t i = 0; i < moduleCount; ++i) {
        ModuleRecord& r = records[i];
        if (!HasEditableBlock(r.type))
            continue;
        r.referenceLength = r.blockLength;
        std::copy_n(r.block.begin(), r.blockLength, r.reference.begin());
    }
}

bool RackImage::SendChanges(link::CommandSet& commands, std::vector<size_t>* notWritten) {
    if (notWritten)
        notWritten->clear();
    for (size_t i = 0; i < moduleCount; ++i) {
        ModuleRecord& r = records[i];
        if (!HasEditableBlock(r.type) || !r.DiffersFromReference())
            continue;
        if (!commands.WriteData(r.address, r.Block())) {
            if (notWritten)
                notWritten->push_back(i);
            continue;
        }
        r.referenceLength = r.blockLength;
        std::copy_n(r.block.begin(), r.blockLength, r.reference.begin());
        if (TakesApplyRequest(r.type))
            commands.Execute(r.address);
    }
    const bool restart = m_restartRequested;
    m_restartRequested = false;
    return restart;
}

void RackImage::ApplyOutputs(link::CommandSet& commands, uint8_t chainFilter) {
    bool inChain = chainFilter == kAllChains;
    bool served = false;
    for (size_t i = 0; i < moduleCount; ++i) {
        const ModuleRecord& r = records[i];
        const ModuleRole role = RoleOf(r.type);
        if (chainFilter != kAllChains) {
            if (!inChain) {
                inChain = role == ModuleRole::Input && r.address == chainFilter;
                continue;
            }
            if (role == ModuleRole::Input && served)
                break;
        }
        if (TakesApplyRequest(r.type)) {
            commands.Execute(r.address);
            served = true;
        }
    }
}

} // namespace kaptiv::rack
