#include "editor/ReceivedServices.h"

#include "platform/Bytes.h"
#include "platform/ModuleType.h"
#include "settings/BlockText.h"

#include <algorithm>
#include <optional>

namespace kaptiv::editor {

namespace {

// A table-coded name only when its 0 byte is in the answer: a name cut by the end of the answer
// belongs to a service the answer does not hold completely.
std::optional<std::u32string> ReadName(platform::ByteReader& in) {
    const auto rest = in.Rest();
    if (std::find(rest.begin(), rest.end(), uint8_t{0}) == rest.end())
        return std::nullopt;
    return settings::DecodeTableText(in);
}

void ApplyFlags(ReceivedService& service, uint8_t flags) {
    service.serviceType = (flags & kFlagServiceType1) != 0 ? 1 : 2;
    service.crypted = (flags & kFlagCrypted) != 0;
}

// One tuner section. Returns false when the answer ended inside it (later sections are absent).
bool ReadTunerSection(platform::ByteReader& in, ReceivedInput& input) {
    if (in.AtEnd())
        return false;
    const uint8_t count = in.U8();
    if (count == 0)
        return true;
    std::vector<ReceivedService> services;
    for (int i = 0; i < count && in.Has(in.Position(), 2); ++i) {
        ReceivedService service;
        service.serviceId = in.U16();
        const auto name = ReadName(in);
        if (!name)
            break;
        service.name = *name;
        services.push_back(std::move(service));
    }
    // The flags follow the whole list; only services whose flag byte arrived are kept.
    const bool complete = services.size() == count;
    size_t flagged = 0;
    if (complete) {
        for (auto& service : services) {
            if (!in.Has(in.Position()))
                break;
            ApplyFlags(service, in.U8());
            ++flagged;
        }
    }
    services.resize(flagged);
    if (services.size() > kMaxReceivedServices)
        services.resize(kMaxReceivedServices);
    input.services = std::move(services);
    if (!complete || flagged < count || !in.Has(in.Position(), 4))
        return false;
    input.transportStreamId = in.U16();
    input.originalNetworkId = in.U16();
    return true;
}

void ReadEncoderList(platform::ByteReader& in, std::vector<ReceivedInput>& inputs) {
    if (in.AtEnd() || inputs.empty())
        return;
    const uint8_t count = in.U8();
    size_t kept = 0;
    for (int i = 0; i < count && kept < kMaxReceivedServices && in.Has(in.Position(), 2); ++i) {
        ReceivedService service;
        service.serviceId = in.U16();
        const auto name = ReadName(in);
        if (!name || !in.Has(in.Position()))
            break;
        service.name = *name;
        ApplyFlags(service, in.U8());
        const size_t input = std::min<size_t>(static_cast<size_t>(i), inputs.size() - 1);
        inputs[input].services.push_back(std::move(service));
        ++kept;
    }
}

} // namespace

ReceivedServices ParseReceivedServices(uint8_t inputType, std::span<const uint8_t> answer) {
    ReceivedServices received;
    received.inputs.resize(static_cast<size_t>(std::max(InputListCount(inputType), 1)));
    platform::ByteReader in(answer);
    if (IsTunerType(inputType)) {
        for (int section = 0; section < TunerSectionCount(inputType); ++section)
            if (!ReadTunerSection(in, received.inputs[static_cast<size_t>(section)]))
                break;
    } else {
        ReadEncoderList(in, received.inputs);
    }
    return received;
}

} // namespace kaptiv::editor
