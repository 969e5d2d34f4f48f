#pragma once
// A rack image built from decoded values, for the service table tests.
#include "editor/ServiceTable.h"
#include "platform/ModuleType.h"
#include "settings/IpStreamerBlock.h"
#include "settings/ModulatorBlock.h"
#include "settings/TunerBlock.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kaptiv::editor::test {

inline settings::TunerValues Tuner(uint8_t type, std::vector<std::vector<settings::SelectedService>> lists) {
    settings::TunerValues values;
    values.type = type;
    values.sections.resize(static_cast<size_t>(TunerSectionCount(type)));
    for (size_t k = 0; k < lists.size() && k < values.sections.size(); ++k)
        values.sections[k].services = lists[k];
    for (auto& section : values.sections)
        section.frequencyMHz = 11000;
    return values;
}

inline std::vector<uint8_t> Encoded(const settings::TunerValues& values) {
    auto encoded = settings::EncodeTunerBlock(values, settings::ChecksFor(values));
    EXPECT_TRUE(encoded.Ok()) << encoded.error;
    return encoded.block;
}

inline settings::ModulatorValues Modulator(std::vector<settings::ModulatorService> services) {
    settings::ModulatorValues values;
    values.services = std::move(services);
    return values;
}

inline settings::ModulatorService OnChannel(uint16_t id, uint8_t channel, uint16_t lcn = 0) {
    return {.serviceId = id, .logicalChannel = lcn, .outputServiceId = id, .channel = channel};
}

inline std::vector<uint8_t> Encoded(uint8_t type, const settings::ModulatorValues& values) {
    auto encoded = settings::EncodeModulatorBlock(type, values, settings::ModulatorEncodeContext{});
    EXPECT_TRUE(encoded.Ok()) << encoded.error;
    return encoded.block;
}

inline std::vector<uint8_t> Encoded(const settings::IpStreamerValues& values) {
    auto encoded = settings::EncodeIpStreamerBlock(values);
    EXPECT_TRUE(encoded.Ok()) << encoded.error;
    return encoded.block;
}

inline ReceivedService Service(uint16_t id, const char32_t* name, uint8_t serviceType = 1,
                               bool crypted = false) {
    return {id, name, serviceType, crypted};
}

// The rack image: the controller in row 0, then the modules in slot order.
struct Rack {
    std::unique_ptr<rack::RackImage> image = std::make_unique<rack::RackImage>();
    Rack() { image->StartScan(); }

    int Add(uint8_t type, const std::vector<uint8_t>& block = {}) {
        const int row = image->moduleCount;
        EXPECT_TRUE(image->Append(static_cast<uint8_t>(0x10 + row), type));
        EXPECT_TRUE(image->Live(static_cast<size_t>(row)).SetBlock(block));
        return row;
    }
    rack::ModuleRecord& At(int row) { return image->Live(static_cast<size_t>(row)); }
    std::vector<uint8_t> Block(int row) {
        const auto b = At(row).Block();
        return {b.begin(), b.end()};
    }
};

inline rack::Chain ChainOf(int input, int output, int ciCount) {
    rack::Chain chain;
    chain.input = input;
    chain.output = output < 0 ? rack::kNoOutput : output;
    chain.ciCount = ciCount;
    return chain;
}

inline ui::Control ListView() {
    ui::ControlData data;
    data.kind = ui::ControlKind::ListView;
    return ui::Control(data);
}

inline const ServiceRow* RowOf(const ServiceTable& table, uint16_t id) {
    for (const auto& row : table.Rows())
        if (row.serviceId == id)
            return &row;
    return nullptr;
}

inline int IndexOf(const ServiceTable& table, uint16_t id) {
    for (size_t i = 0; i < table.Rows().size(); ++i)
        if (table.Rows()[i].serviceId == id)
            return static_cast<int>(i);
    return -1;
}

inline std::vector<uint16_t> Ids(const std::vector<ListedService>& list) {
    std::vector<uint16_t> ids;
    for (const auto& s : list)
        ids.push_back(s.serviceId);
    return ids;
}

} // namespace kaptiv::editor::test
