#include "editor/ChainRules.h"

#include "platform/ModuleType.h"
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"
#include "settings/IpStreamerBlock.h"
#include "settings/ModulatorBlock.h"
#include "settings/TunerBlock.h"

#include <algorithm>
#include <vector>

namespace kaptiv::editor {

namespace {

constexpr size_t kPassThroughSection = 2; // section C of the tuners 7, 10, 12

bool InRun(uint8_t type) {
    const ModuleRole role = RoleOf(type);
    return role == ModuleRole::Input || role == ModuleRole::CommonInterface;
}

bool TakesPassThrough(uint8_t type) {
    return type == type::kSat2_0 || type == type::kAvEncoder || type == type::kSat2 ||
           type == type::kTerrestrial || type == type::kHdEncoder;
}

int Count(const rack::RackImage& rack) {
    return std::min<int>(rack.moduleCount, static_cast<int>(rack::kHalfSize));
}

bool Store(rack::ModuleRecord& record, const settings::EncodeResult& encoded) {
    if (!encoded.Ok())
        return false;
    const auto before = record.Block();
    if (std::equal(before.begin(), before.end(), encoded.block.begin(), encoded.block.end()))
        return false;
    return record.SetBlock(encoded.block);
}

template <typename Lists> bool EditPassThrough(Lists& lists, uint16_t id, bool add) {
    const bool present = std::any_of(lists.begin(), lists.end(), [&](const auto& list) {
        return std::find(list.begin(), list.end(), id) != list.end();
    });
    if (add) {
        if (present)
            return false;
        lists[0].push_back(id);
        return true;
    }
    bool removed = false;
    for (auto& list : lists)
        removed |= std::erase(list, id) > 0;
    return removed;
}

bool PassThroughInto(rack::ModuleRecord& record, uint16_t id, bool add) {
    if (IsTunerType(record.type)) {
        auto decoded = settings::DecodeTunerBlock(record.type, record.Block());
        if (!decoded.Ok() || decoded.values.sections.size() <= kPassThroughSection)
            return false;
        auto& services = decoded.values.sections[kPassThroughSection].services;
        const auto it =
            std::find_if(services.begin(), services.end(), [&](const auto& s) { return s.serviceId == id; });
        if (add) {
            if (it != services.end() || services.size() >= settings::kMaxSectionServices)
                return false;
            services.push_back({id, 0});
        } else {
            if (it == services.end())
                return false;
            services.erase(it);
        }
        return Store(record, settings::EncodeTunerBlock(decoded.values, settings::ChecksFor(decoded.values)));
    }
    bool changed = false; // pass-through edits leave the change counter alone
    if (record.type == type::kAvEncoder) {
        auto decoded = settings::DecodeEncoderBlock(record.Block());
        if (!decoded.Ok() || !EditPassThrough(decoded.values.passThrough, id, add))
            return false;
        return Store(record, settings::EncodeEncoderBlock(decoded.values, changed));
    }
    if (record.type == type::kHdEncoder) {
        auto decoded = settings::DecodeHdEncoderBlock(record.Block());
        if (!decoded.Ok() || !EditPassThrough(decoded.values.passThrough, id, add))
            return false;
        return Store(record, settings::EncodeHdEncoderBlock(decoded.values, changed));
    }
    return false;
}

} // namespace

bool ApplyPassThrough(rack::RackImage& rack, int inputRow, uint16_t serviceId, bool add) {
    std::vector<int> later;
    for (int r = inputRow + 1; r < Count(rack) && InRun(rack.Live(static_cast<size_t>(r)).type); ++r)
        if (TakesPassThrough(rack.Live(static_cast<size_t>(r)).type))
            later.push_back(r);
    if (!later.empty())
        later.pop_back(); // the last one belongs with the output
    bool changed = false;
    for (int r : later)
        changed |= PassThroughInto(rack.Live(static_cast<size_t>(r)), serviceId, add);
    return changed;
}

std::optional<std::set<uint16_t>> OutputServiceIds(const rack::RackImage& rack, int firstOutput) {
    std::set<uint16_t> ids;
    for (int r = firstOutput; r >= 0 && r < Count(rack); ++r) {
        const rack::ModuleRecord& record = rack.Live(static_cast<size_t>(r));
        if (!IsOutputType(record.type))
            break;
        if (record.type == type::kIpStreamer) {
            const auto decoded = settings::DecodeIpStreamerBlock(record.Block());
            if (!decoded.Ok())
                return std::nullopt;
            for (const auto& s : decoded.values.services)
                ids.insert(s.serviceId);
        } else {
            const auto decoded = settings::DecodeModulatorBlock(record.type, record.Block());
            if (!decoded.Ok())
                return std::nullopt;
            for (const auto& s : decoded.values.services)
                ids.insert(s.serviceId);
        }
    }
    return ids;
}

bool ApplyDescrambledUpstream(rack::RackImage& rack, int inputRow) {
    const int count = Count(rack);
    if (inputRow <= 0 || inputRow >= count)
        return false;
    int first = inputRow;
    while (first - 1 > 0 && InRun(rack.Live(static_cast<size_t>(first - 1)).type))
        --first;
    std::set<uint16_t> descrambled;
    int r = first;
    for (; r < count && InRun(rack.Live(static_cast<size_t>(r)).type); ++r) {
        const rack::ModuleRecord& record = rack.Live(static_cast<size_t>(r));
        if (!IsTunerType(record.type))
            continue;
        const auto decoded = settings::DecodeTunerBlock(record.type, record.Block());
        if (!decoded.Ok())
            continue;
        for (const auto& section : decoded.values.sections)
            for (const auto& s : section.services)
                if (s.cam != 0)
                    descrambled.insert(s.serviceId);
    }
    bool changed = false;
    for (; r < count; ++r) {
        rack::ModuleRecord& record = rack.Live(static_cast<size_t>(r));
        if (record.type == type::kIpStreamer)
            continue;
        if (!IsModulatorType(record.type))
            break;
        changed |= settings::MarkDescrambledUpstream(
            record.type,
            std::span<uint8_t>(record.block.data(),
                               std::min<size_t>(record.blockLength, record.block.size())),
            [&](uint16_t id) { return descrambled.contains(id); });
    }
    return changed;
}

} // namespace kaptiv::editor
