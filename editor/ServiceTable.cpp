#include "editor/ServiceTable.h"

#include "editor/CellNumbers.h"
#include "editor/ChainRules.h"
#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "settings/ModulatorBlock.h"

#include <algorithm>
#include <set>

namespace kaptiv::editor {

namespace {

// Row text colours, as COLORREF values (0x00BBGGRR).
constexpr uint32_t kColourFirstInputs = 0x800000;
constexpr uint32_t kColourInputB = 0x008000;
constexpr uint32_t kColourLastInput = 0x000080;
constexpr uint32_t kColourOther = 0xA0A0A0;
constexpr int kHdLastInput = 4; // input "E" of the HD encoder

struct ColumnSpec {
    const char* header;
    int width;
};
constexpr ColumnSpec kFixedColumns[] = {{"VOID", 1},   {"SHARE", 19}, {"FROM", 19}, {"SID", 50},
                                        {"NAME", 137}, {" ", 20},     {" ", 20},    {"C1", 19},
                                        {"C2", 19},    {"C3", 19},    {"C4", 19}};
constexpr int kOutputColumnWidth = 19;
constexpr int kStreamColumnWidth = 15;
constexpr int kNumberColumnWidth = 50;
constexpr int kRufWidth = 1;
constexpr int kModulatorColumns = 4;

bool TakesPassThrough(uint8_t type) {
    return type == type::kSat2_0 || type == type::kAvEncoder || type == type::kSat2 ||
           type == type::kTerrestrial || type == type::kHdEncoder;
}

std::string NumberOrEmpty(uint16_t value, bool show) {
    return show && value != 0 ? std::to_string(value) : std::string();
}

} // namespace

ui::Color ColorFromColorRef(uint32_t colorRef) {
    return ui::Color{static_cast<uint8_t>(colorRef & 0xFF), static_cast<uint8_t>((colorRef >> 8) & 0xFF),
                     static_cast<uint8_t>((colorRef >> 16) & 0xFF)};
}

// ---- ChainShape -------------------------------------------------------------------------------

bool ChainShape::IpStreamer() const {
    return outputType == type::kIpStreamer;
}

int ChainShape::InputLists() const {
    return InputListCount(inputType);
}

int ChainShape::ChannelCount() const {
    return outputType ? OutputChannelCount(*outputType) : 0;
}

int ChainShape::OutputColumns() const {
    return IpStreamer() ? static_cast<int>(settings::kStreamCount) : kModulatorColumns;
}

// ---- sources ------------------------------------------------------------------------------------

void ServiceTable::Open(rack::RackImage& rack, const rack::Chain& chain) {
    m_rack = &rack;
    m_chain = chain;
    m_shape = ChainShape{};
    if (chain.HasInput() && chain.input < rack.moduleCount)
        m_shape.inputType = rack.Live(static_cast<size_t>(chain.input)).type;
    if (chain.output != rack::kNoOutput && chain.output < rack.moduleCount)
        m_shape.outputType = rack.Live(static_cast<size_t>(chain.output)).type;
    m_shape.ciCount = std::clamp(chain.ciCount, 0, kMaxCommonInterfaces);
    m_inputLists.assign(static_cast<size_t>(m_shape.InputLists()), {});
    m_received = ReceivedServices{};
    m_received.inputs.resize(m_inputLists.size());
    m_outputs.clear();
    m_streamingId = 0;
    m_streamingName.clear();
    m_scheduleHasEntries = false;
    m_bitRates.clear();
    m_rows.clear();
    m_streamingSource = kFromUnknown;
}

void ServiceTable::LoadInput(const settings::TunerValues& values) {
    for (size_t k = 0; k < m_inputLists.size(); ++k) {
        m_inputLists[k].clear();
        if (k < values.sections.size())
            for (const auto& s : values.sections[k].services)
                m_inputLists[k].push_back({s.serviceId, s.cam});
    }
    if (TunerSectionCount(values.type) > 1)
        SetStreaming(values.streamingServiceId, values.streamedName, !values.schedule.empty());
}

namespace {
template <size_t N>
void LoadPassThrough(const std::array<std::vector<uint16_t>, N>& lists,
                     std::vector<std::vector<ListedService>>& into) {
    for (size_t k = 0; k < into.size(); ++k) {
        into[k].clear();
        if (k < N)
            for (uint16_t id : lists[k])
                into[k].push_back({id, 0});
    }
}

template <size_t N>
void StorePassThrough(const std::vector<std::vector<ListedService>>& from,
                      std::array<std::vector<uint16_t>, N>& lists) {
    for (size_t k = 0; k < N; ++k) {
        lists[k].clear();
        if (k < from.size())
            for (const auto& s : from[k])
                lists[k].push_back(s.serviceId);
    }
}
} // namespace

void ServiceTable::LoadInput(const settings::EncoderValues& values) {
    LoadPassThrough(values.passThrough, m_inputLists);
}

void ServiceTable::LoadInput(const settings::HdEncoderValues& values) {
    LoadPassThrough(values.passThrough, m_inputLists);
}

void ServiceTable::LoadOutput(const settings::ModulatorValues& values) {
    m_outputs.clear();
    for (const auto& s : values.services)
        m_outputs.push_back({s.serviceId, s.logicalChannel, s.hdLogicalChannel, s.outputServiceId, s.channel,
                             s.descrambledUpstream});
}

void ServiceTable::LoadOutput(const settings::IpStreamerValues& values) {
    m_outputs.clear();
    for (const auto& s : values.services)
        m_outputs.push_back({s.serviceId, 0, 0, s.serviceId, s.stream, false});
}

void ServiceTable::BuildOutputsFromInputLists() {
    m_outputs.clear();
    for (const auto& list : m_inputLists)
        for (const auto& s : list)
            if (m_outputs.size() < kMaxOutputEntries &&
                std::none_of(m_outputs.begin(), m_outputs.end(),
                             [&](const OutputEntry& e) { return e.serviceId == s.serviceId; }))
                m_outputs.push_back({s.serviceId, 0, 0, s.serviceId, 1, false});
}

void ServiceTable::SetReceived(ReceivedServices received) {
    m_received = std::move(received);
    m_received.inputs.resize(m_inputLists.size());
}

void ServiceTable::SetStreaming(uint16_t serviceId, std::u32string name, bool scheduleHasEntries) {
    m_streamingId = serviceId;
    m_streamingName = std::move(name);
    m_scheduleHasEntries = scheduleHasEntries;
}

void ServiceTable::SetBitRate(uint16_t serviceId, uint32_t rate) {
    m_bitRates[serviceId] = rate;
    for (auto& row : m_rows)
        if (row.serviceId == serviceId)
            row.bitRate = rate;
}

void ServiceTable::ClearBitRates() {
    m_bitRates.clear();
    for (auto& row : m_rows)
        row.bitRate = 0;
}

void ServiceTable::StoreInput(settings::TunerValues& values) const {
    for (size_t k = 0; k < values.sections.size() && k < m_inputLists.size(); ++k) {
        auto& services = values.sections[k].services;
        services.clear();
        for (const auto& s : m_inputLists[k])
            services.push_back({s.serviceId, s.cam});
    }
}

void ServiceTable::StoreInput(settings::EncoderValues& values) const {
    StorePassThrough(m_inputLists, values.passThrough);
}

void ServiceTable::StoreInput(settings::HdEncoderValues& values) const {
    StorePassThrough(m_inputLists, values.passThrough);
}

void ServiceTable::StoreOutput(settings::ModulatorValues& values) const {
    values.services.clear();
    for (const auto& e : m_outputs)
        values.services.push_back({.serviceId = e.serviceId,
                                   .logicalChannel = e.logicalChannel,
                                   .hdLogicalChannel = e.hdLogicalChannel,
                                   .outputServiceId = e.outputServiceId,
                                   .channel = e.channel,
                                   .descrambledUpstream = e.descrambledUpstream});
}

void ServiceTable::StoreOutput(settings::IpStreamerValues& values) const {
    values.services.clear();
    for (const auto& e : m_outputs)
        values.services.push_back({e.serviceId, e.channel});
}

// ---- find-or-add ---------------------------------------------------------------------------------

ServiceRow* ServiceTable::FindOrAdd(uint16_t serviceId) {
    for (auto& row : m_rows)
        if (row.serviceId == serviceId)
            return &row;
    if (m_rows.size() >= kMaxServiceRows)
        return nullptr;
    ServiceRow row;
    row.serviceId = serviceId;
    row.outputServiceId = serviceId;
    m_rows.push_back(std::move(row));
    return &m_rows.back();
}

OutputEntry* ServiceTable::FindOrAddOutput(uint16_t serviceId) {
    for (auto& e : m_outputs)
        if (e.serviceId == serviceId)
            return &e;
    // The modulator block holds at most 100 services; a longer list could not be written.
    if (m_outputs.size() >= kMaxOutputEntries)
        return nullptr;
    m_outputs.push_back({serviceId, 0, 0, serviceId, 0, false});
    return &m_outputs.back();
}

ListedService* ServiceTable::FindOrAddListed(int list, uint16_t serviceId) {
    if (list < 0 || list >= static_cast<int>(m_inputLists.size()))
        return nullptr;
    auto& services = m_inputLists[static_cast<size_t>(list)];
    for (auto& s : services)
        if (s.serviceId == serviceId)
            return &s;
    if (services.size() >= kMaxInputListServices)
        return nullptr;
    services.push_back({serviceId, 0});
    return &services.back();
}

bool ServiceTable::RemoveFromList(int list, uint16_t serviceId) {
    if (list < 0 || list >= static_cast<int>(m_inputLists.size()))
        return false;
    return std::erase_if(m_inputLists[static_cast<size_t>(list)],
                         [&](const ListedService& s) { return s.serviceId == serviceId; }) > 0;
}

// ---- consistency rules ---------------------------------------------------------------------------

Marks ServiceTable::ApplyConsistencyRules() {
    Marks marks;
    const int lists = static_cast<int>(m_inputLists.size());
    const bool hasOutput = m_shape.HasOutput();
    // 1. A single selection without output is its own output: nothing to reconcile.
    if (!hasOutput && lists == 1)
        return marks;

    // 2. A service selected on two inputs would reach the output twice: it leaves both.
    if (lists > 1) {
        std::map<uint16_t, int> seen;
        for (const auto& list : m_inputLists) {
            std::set<uint16_t> ids;
            for (const auto& s : list)
                ids.insert(s.serviceId);
            for (uint16_t id : ids)
                ++seen[id];
        }
        for (const auto& [id, count] : seen)
            if (count > 1)
                for (int k = 0; k < lists; ++k)
                    marks.inputChanged |= RemoveFromList(k, id);
    }

    // 3. Entries on no channel leave the output.
    std::erase_if(m_outputs, [](const OutputEntry& e) { return e.channel == 0; });

    // 4. What leaves the output must be selected on the input that receives it.
    const auto hasOutputEntry = [&](uint16_t id) {
        return std::any_of(m_outputs.begin(), m_outputs.end(),
                           [&](const OutputEntry& e) { return e.serviceId == id; });
    };
    for (int k = 0; k < lists && k < static_cast<int>(m_received.inputs.size()); ++k) {
        for (const auto& received : m_received.inputs[static_cast<size_t>(k)].services) {
            const uint16_t id = received.serviceId;
            if (hasOutputEntry(id)) {
                FindOrAddListed(k, id);
                if (!hasOutput)
                    for (int other = 0; other < lists; ++other)
                        if (other != k)
                            marks.inputChanged |= RemoveFromList(other, id);
            } else if (!hasOutput) {
                marks.inputChanged |= RemoveFromList(k, id);
            }
        }
    }

    // 5. Selections that no output carries are dropped.
    if (hasOutput) {
        const auto carried = OutputServiceIds(*m_rack, m_chain.output);
        if (carried) {
            bool removed = false;
            for (auto& list : m_inputLists)
                removed |= std::erase_if(list, [&](const ListedService& s) {
                               return !carried->contains(s.serviceId);
                           }) > 0;
            if (removed) {
                marks.inputChanged = true;
                marks.outputChanged = true;
            }
        }
    } else {
        for (auto& list : m_inputLists)
            marks.inputChanged |=
                std::erase_if(list, [&](const ListedService& s) { return !hasOutputEntry(s.serviceId); }) > 0;
    }
    return marks;
}

// ---- rows -----------------------------------------------------------------------------------------

void ServiceTable::Build() {
    m_rows.clear();
    if (m_scheduleHasEntries) {
        if (ServiceRow* row = FindOrAdd(m_streamingId)) {
            row->from = kFromStreaming;
            row->name = m_streamingName;
        }
    }
    for (size_t k = 0; k < m_inputLists.size(); ++k) {
        if (k < m_received.inputs.size()) {
            for (const auto& received : m_received.inputs[k].services) {
                ServiceRow* row = FindOrAdd(received.serviceId);
                if (!row)
                    break;
                row->from = static_cast<uint8_t>(k);
                row->name = received.name;
                row->serviceType = received.serviceType;
                row->crypted = received.crypted;
            }
        }
        for (const auto& listed : m_inputLists[k])
            if (ServiceRow* row = FindOrAdd(listed.serviceId))
                row->cam = listed.cam;
    }
    for (const auto& e : m_outputs) {
        if (ServiceRow* row = FindOrAdd(e.serviceId)) {
            row->outputServiceId = e.outputServiceId;
            row->logicalChannel = e.logicalChannel;
            row->hdLogicalChannel = e.hdLogicalChannel;
            row->channel = e.channel;
        }
    }
    if (!m_shape.HasOutput() && m_inputLists.size() == 1)
        for (auto& row : m_rows)
            row.channel = 1;
    for (auto& row : m_rows) {
        const auto rate = m_bitRates.find(row.serviceId);
        row.bitRate = rate == m_bitRates.end() ? 0 : rate->second;
    }
    m_streamingSource = kFromUnknown;
    for (const auto& row : m_rows)
        if (row.serviceId == m_streamingId)
            m_streamingSource = row.from;
}

// ---- clicks ---------------------------------------------------------------------------------------

ClickResult ServiceTable::DoubleClick(int row, int columnIndex, std::span<const int> selectedRows) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return {};
    std::vector<int> rows(selectedRows.begin(), selectedRows.end());
    std::erase_if(rows, [&](int r) { return r < 0 || r >= static_cast<int>(m_rows.size()); });
    if (rows.empty())
        rows.push_back(row);
    if (columnIndex >= column::kLcn && columnIndex <= column::kNsid) {
        if (!m_shape.HasOutput())
            return {};
        ClickResult result;
        result.editText = CellText(m_rows[static_cast<size_t>(row)], columnIndex);
        return result;
    }
    if (columnIndex >= column::kCam1 && columnIndex <= column::kCam4)
        return ClickCam(row, columnIndex - column::kCam1 + 1, rows);
    if (columnIndex >= column::kOutput1 && columnIndex <= column::kOutput16)
        return ClickChannel(row, columnIndex - column::kOutput1 + 1, rows);
    return {};
}

ClickResult ServiceTable::ClickCam(int row, int cam, std::span<const int> selectedRows) {
    ClickResult result;
    if (cam > m_shape.ciCount)
        return result;
    const uint8_t newCam = m_rows[static_cast<size_t>(row)].cam == cam ? 0 : static_cast<uint8_t>(cam);
    bool changed = false;
    for (int r : selectedRows) {
        const ServiceRow& target = m_rows[static_cast<size_t>(r)];
        if (target.from == kFromUnknown) {
            result.notIdentified = true;
            continue;
        }
        if (ListedService* listed = FindOrAddListed(target.from, target.serviceId)) {
            listed->cam = newCam;
            changed = true;
        }
    }
    if (changed) {
        result.marks = {true, true};
        Build();
    }
    return result;
}

ClickResult ServiceTable::ClickChannel(int row, int channel, std::span<const int> selectedRows) {
    ClickResult result;
    const int allowed = m_shape.HasOutput() ? m_shape.ChannelCount() : 1;
    if (channel > allowed)
        return result;
    if (!m_shape.HasOutput() && !TakesPassThrough(m_shape.inputType))
        return result;
    const uint8_t newChannel =
        m_rows[static_cast<size_t>(row)].channel == channel ? 0 : static_cast<uint8_t>(channel);
    // Ids first: the rows are rebuilt below.
    std::vector<uint16_t> ids;
    for (int r : selectedRows)
        ids.push_back(m_rows[static_cast<size_t>(r)].serviceId);
    for (uint16_t id : ids) {
        if (m_rack && m_chain.HasInput())
            ApplyPassThrough(*m_rack, m_chain.input, id, newChannel != 0);
        if (OutputEntry* entry = FindOrAddOutput(id))
            entry->channel = newChannel;
    }
    result.marks = {true, true};
    Build();
    return result;
}

Marks ServiceTable::EndCellEdit(int row, int columnIndex, const std::optional<std::string>& text) {
    if (!text || !m_shape.HasOutput() || row < 0 || row >= static_cast<int>(m_rows.size()))
        return {};
    if (columnIndex < column::kLcn || columnIndex > column::kNsid)
        return {};
    const int maxValue = columnIndex == column::kNsid ? 0xFFFF : settings::kMaxLogicalChannelNumber;
    const auto value = ScanNumber(*text, maxValue);
    if (!value)
        return {};
    const uint16_t serviceId = m_rows[static_cast<size_t>(row)].serviceId;
    OutputEntry* entry = FindOrAddOutput(serviceId);
    if (!entry)
        return {};
    const auto number = static_cast<uint16_t>(*value);
    if (columnIndex == column::kLcn)
        entry->logicalChannel = number;
    else if (columnIndex == column::kHdLcn)
        entry->hdLogicalChannel = number;
    else
        entry->outputServiceId = number == 0 ? serviceId : number; // 0 restores the service's own id
    Build();
    return {false, true};
}

// ---- list view ------------------------------------------------------------------------------------

std::string ServiceTable::CellText(const ServiceRow& row, int columnIndex) const {
    switch (columnIndex) {
    case column::kFrom:
        return row.from == kFromUnknown ? std::string("?")
                                        : std::string(1, static_cast<char>('A' + row.from));
    case column::kSid:
        return std::to_string(row.serviceId);
    case column::kName:
        return settings::ToUtf8(row.name);
    case column::kLcn:
        return NumberOrEmpty(row.logicalChannel, row.channel != 0);
    case column::kHdLcn:
        return NumberOrEmpty(row.hdLogicalChannel, row.channel != 0);
    case column::kNsid:
        return row.channel != 0 && m_shape.HasOutput() ? std::to_string(row.outputServiceId) : std::string();
    default:
        return {};
    }
}

int ServiceTable::CellImage(const ServiceRow& row, int columnIndex) const {
    if (columnIndex == column::kShare) {
        if (m_inputLists.size() == 1)
            return image::kInert;
        const bool streamingRow = row.from == kFromStreaming && IsTunerType(m_shape.inputType);
        return streamingRow ? image::kStreamingShare : image::kUnset;
    }
    if (columnIndex == column::kServiceType)
        return row.serviceType == 1 ? image::kTelevision : row.serviceType == 2 ? image::kRadio : -1;
    if (columnIndex == column::kCrypted)
        return row.crypted ? image::kCrypted : image::kClear;
    if (columnIndex >= column::kCam1 && columnIndex <= column::kCam4) {
        const int cam = columnIndex - column::kCam1 + 1;
        if (cam > m_shape.ciCount)
            return image::kInert;
        return row.cam == cam ? image::kCamOn : image::kUnset;
    }
    if (columnIndex >= column::kOutput1 && columnIndex <= column::kOutput16) {
        const int channel = columnIndex - column::kOutput1 + 1;
        if (m_shape.IpStreamer())
            return row.channel == channel ? image::kOnStream : image::kOffStream;
        if (channel > kModulatorColumns)
            return -1; // a hidden column
        if (channel == 1 && !m_shape.HasOutput() && row.from == kFromStreaming &&
            IsTunerType(m_shape.inputType))
            return image::kOnChannel;
        if (channel > 1 && channel > m_shape.ChannelCount())
            return image::kInert;
        return row.channel == channel ? image::kOnChannel : image::kOffChannel;
    }
    return -1;
}

std::optional<ui::Color> ServiceTable::RowColor(const ServiceRow& row) const {
    if (m_shape.inputType == type::kHdEncoder) {
        if (row.from < kHdLastInput)
            return ColorFromColorRef(kColourFirstInputs);
        if (row.from == kHdLastInput)
            return ColorFromColorRef(kColourLastInput);
        return ColorFromColorRef(kColourOther);
    }
    switch (row.from) {
    case 0:
        return ColorFromColorRef(kColourFirstInputs);
    case 1:
        return ColorFromColorRef(kColourInputB);
    case 2:
        return ColorFromColorRef(kColourLastInput);
    default:
        return ColorFromColorRef(kColourOther);
    }
}

void ServiceTable::SetUpColumns(ui::Control& list) const {
    std::vector<ui::ListColumn> columns;
    for (const auto& spec : kFixedColumns)
        columns.push_back({spec.header, spec.width, ui::Align::Left});
    const bool ip = m_shape.IpStreamer();
    for (int c = 1; c <= static_cast<int>(settings::kStreamCount); ++c)
        columns.push_back({"On",
                           c <= m_shape.OutputColumns() ? (ip ? kStreamColumnWidth : kOutputColumnWidth) : 0,
                           ui::Align::Left});
    const int numberWidth = ip ? 0 : kNumberColumnWidth;
    columns.push_back({"LCN", numberWidth, ui::Align::Left});
    columns.push_back({"HD_LCN", numberWidth, ui::Align::Left});
    columns.push_back({"NSID", numberWidth, ui::Align::Left});
    columns.push_back({"RUF", kRufWidth, ui::Align::Left});
    list.SetColumns(std::move(columns));
    std::vector<ui::ImageRef> images;
    for (int bitmap : kServiceImageBitmaps)
        images.push_back(ui::Bitmap(bitmap));
    list.SetImageList(std::move(images));
}

void ServiceTable::Fill(ui::Control& list) const {
    std::vector<ui::ListRow> rows;
    rows.reserve(m_rows.size());
    for (size_t r = 0; r < m_rows.size(); ++r) {
        const ServiceRow& row = m_rows[r];
        ui::ListRow out;
        out.cells.resize(column::kCount);
        for (int c = 0; c < column::kCount; ++c)
            out.cells[static_cast<size_t>(c)] = ui::ListCell{CellText(row, c), CellImage(row, c)};
        out.textColor = RowColor(row);
        out.selected = static_cast<int>(r) < list.RowCount() && list.Row(static_cast<int>(r)).selected;
        rows.push_back(std::move(out));
    }
    list.SetRows(std::move(rows));
}

} // namespace kaptiv::editor
