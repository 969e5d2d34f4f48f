// The settings page's status reads: the measures of the chain's modules at every tick, the
// re-reads they trigger and the rate graph under the service table.
#include "editor/CSatCofdm.h"

#include "platform/ModuleType.h"
#include "resources/SettingsIds.h"
#include "ui/WindowSystem.h"

#include <algorithm>

namespace kaptiv::editor {

using namespace resources::page;

namespace {
constexpr ui::Color kWhite{0xFF, 0xFF, 0xFF};
constexpr ui::Color kSelectedSegment{0x00, 0xA2, 0xE8}; // 0xE8A200
constexpr ui::Color kSegment{0xC0, 0xC0, 0xC0};
constexpr ui::Color kSegmentFrame{0x82, 0x87, 0x90}; // 0x908782
} // namespace

// Status ---------------------------------------------------------------------------------------

bool CSatCofdm::InputStatus() {
    const rack::ModuleRecord& input = m_image->Live(m_chain.input);
    int length = 0;
    const uint8_t* data = m_commands->ReadStatus(input.address, length);
    if (data == nullptr)
        return false;
    const std::span<const uint8_t> answer(data, static_cast<size_t>(std::max(length, 0)));
    bool reread = false;
    if (IsTunerType(m_inputType)) {
        const bool streaming = IsStreamingTuner();
        const TunerStatus status = ParseTunerStatus(streaming ? 2 : 1, streaming, answer);
        reread = m_tunerView.ShowMeasures(status);
        const auto& inputs = m_table.Received().inputs;
        for (size_t k = 0; k < status.inputs.size(); ++k)
            if (status.inputs[k].lock == kLockLocked && (k >= inputs.size() || inputs[k].services.empty()))
                reread = true; // locked without services yet
        if (status.changeIndicator) {
            reread |= m_lastChangeIndicator && *m_lastChangeIndicator != *status.changeIndicator;
            m_lastChangeIndicator = status.changeIndicator;
        }
        if (status.usbKey) {
            const std::optional<uint8_t> last = m_lastUsbKey;
            m_lastUsbKey = status.usbKey;
            m_playout.UsbKeyState(last, *status.usbKey);
        }
    } else if (m_inputType == type::kAvEncoder || m_inputType == type::kHdEncoder) {
        const EncoderStatus status = ParseEncoderStatus(answer);
        if (status.counter && *status.counter != m_encoderView.Counter()) {
            ReadInputBlock();
            m_inputChanged = true;
            reread = true;
        }
        if (status.listIndicator) {
            reread |= !m_lastListIndicator || *m_lastListIndicator != *status.listIndicator;
            m_lastListIndicator = status.listIndicator;
        }
    }
    if (reread) {
        ReadServiceList();
        RebuildTable();
    }
    return true;
}

void CSatCofdm::ReadInputBlock() {
    rack::ModuleRecord& input = m_image->Live(m_chain.input);
    uint16_t length = 0;
    std::array<uint8_t, rack::kMaxBlockSize> buffer{};
    // No answer: the block length becomes 0 and the stored bytes stay, so the decode below
    // shows the previous values.
    if (m_commands->ReadParameters(input.address, length, buffer) && length > 0)
        input.SetBlock(std::span<const uint8_t>(buffer.data(), length));
    else
        input.blockLength = 0;
    // What the module holds is the new reference: only the installer's edits are written back.
    input.referenceLength = input.blockLength;
    std::copy_n(input.block.begin(), input.blockLength, input.reference.begin());
    if (input.blockLength > 0)
        (void)m_encoderView.Decode(input.Block()); // a block that does not decode keeps the values
    if (m_inputType == type::kAvEncoder)
        m_table.LoadInput(m_encoderView.Encoder());
    else
        m_table.LoadInput(m_encoderView.Hd());
    m_encoderView.ShowValues();
}

void CSatCofdm::ReadServiceList() {
    const rack::ModuleRecord& input = m_image->Live(m_chain.input);
    const uint8_t* data = nullptr;
    int length = 0;
    const uint16_t n = m_commands->ReadData(input.address, data, length);
    if (n == 0 || data == nullptr)
        return;
    m_table.SetReceived(ParseReceivedServices(m_inputType, std::span<const uint8_t>(data, n)));
}

void CSatCofdm::HideRates() {
    m_modulatorView.HideRates();
    m_streamerView.HideRates();
    m_table.ClearBitRates();
}

void CSatCofdm::OutputStatus() {
    if (!m_outputType)
        return;
    const rack::ModuleRecord& output = m_image->Live(m_chain.output);
    const uint8_t* data = nullptr;
    int length = 0;
    const uint16_t n = m_commands->ReadData(output.address, data, length);
    if (n == 0 || data == nullptr) {
        HideRates();
        return;
    }
    const std::span<const uint8_t> answer(data, n);
    m_table.ClearBitRates();
    if (m_modulatorView.Active())
        m_modulatorView.ShowStatus(ParseModulatorStatus(m_channelCount, answer), m_table);
    else if (m_streamerView.Active())
        m_streamerView.ShowStatus(ParseStreamerStatus(answer), m_table);
    m_table.Build();
}

void CSatCofdm::DrawRateGraph() {
    ui::Control& graph = Item(kRateGraph);
    const int width = int(graph.Rect().width * ui::kPixelsPerUnitX);
    const int height = int(graph.Rect().height * ui::kPixelsPerUnitY);
    std::vector<ui::Shape> shapes;
    const std::vector<ServiceRow>& rows = m_table.Rows();
    if (rows.empty()) {
        shapes.push_back({{0, 0, width, height}, kWhite, true});
        shapes.push_back({{0, 0, width, height}, kSegmentFrame, false});
        graph.SetShapes(std::move(shapes));
        return;
    }
    uint64_t total = 0;
    for (const ServiceRow& row : rows)
        total += row.bitRate;
    if (total == 0)
        total = 100;
    const ui::Control& list = Item(kServiceList);
    uint64_t sum = 0;
    int left = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        sum += rows[i].bitRate;
        const int right = int(uint64_t(width) * sum / total);
        if (right > left) {
            const bool selected = int(i) < list.RowCount() && list.Row(int(i)).selected;
            shapes.push_back({{left, 0, right - left, height}, selected ? kSelectedSegment : kSegment, true});
            shapes.push_back({{left, 0, right - left, height}, kSegmentFrame, false});
        }
        left = right;
    }
    graph.SetShapes(std::move(shapes));
}

} // namespace kaptiv::editor
