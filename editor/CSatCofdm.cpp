#include "editor/CSatCofdm.h"

#include "editor/ChainRules.h"
#include "editor/PageLabels.h"
#include "platform/ModuleType.h"
#include "resources/Dialogs.h"
#include "resources/SettingsIds.h"
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"
#include "settings/ModulatorBlock.h"
#include "settings/TunerBlock.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/CInPlaceEdit.h"
#include "ui/WindowSystem.h"

#include <algorithm>

namespace kaptiv::editor {

using namespace resources::page;
namespace st = settings;

namespace {

// Pictures.
constexpr int kCofdmBitmap = 163;
constexpr int kQamBitmap = 208;
constexpr int kStreamerBitmap = 260;

// Colours (COLORREF values of the page as RGB).
constexpr ui::Color kRed{0xFF, 0x00, 0x00};
constexpr ui::Color kWhite{0xFF, 0xFF, 0xFF};
constexpr ui::Color kStripColor{0x30, 0x44, 0x60};

constexpr int kTextModulation = 57;
constexpr int kTextActivation = 77;

void FillStrip(ui::Control& strip) {
    const ui::RectDu r = strip.Rect();
    strip.SetShapes({{{0, 0, int(r.width * ui::kPixelsPerUnitX), int(r.height * ui::kPixelsPerUnitY)},
                      kStripColor,
                      true}});
}

} // namespace

CSatCofdm::CSatCofdm(ui::WindowSystem& windows)
    : ui::Dialog(windows, resources::DialogTemplateById(kDialogSettings)) {
    // A refused field behind another view of the extra panel: that view comes up first.
    m_fields.SetBeforeRefusal([this](int controlId) { m_tunerView.BringUpField(controlId); });
}

CSatCofdm::~CSatCofdm() = default;

// Build --------------------------------------------------------------------------------------

void CSatCofdm::OnInitDialog() {
    Build();
    Show(false);
}

void CSatCofdm::Build() {
    SetPageLabels(*this);
    m_tunerView.Build();
    m_encoderView.Build();
    m_modulatorView.Build();
    m_streamerView.Build();
    // White header labels on their strip.
    for (int i = 0; i < 7; ++i)
        Item(kHeaderLabel + i).SetTextColor(kWhite);
    FillStrip(Item(kHeaderStrip));
    FillStrip(Item(kStreamLetterStrip));
    Item(kPageMessage).SetTextColor(kRed);
    m_playout.Build();
}

// Open / close ------------------------------------------------------------------------------

void CSatCofdm::OpenChain(rack::RackImage& image, link::CommandSet& commands, const rack::Chain& chain) {
    if (!IsCreated() || !chain.HasInput())
        return;
    if (m_open)
        CloseChain();
    m_image = &image;
    m_commands = &commands;
    m_chain = chain;
    m_inputType = image.Live(chain.input).type;
    m_outputType.reset();
    if (chain.output != rack::kNoOutput)
        m_outputType = image.Live(chain.output).type;
    m_ciCount = std::clamp(chain.ciCount, 0, kMaxCommonInterfaces);
    m_channelCount = m_outputType ? OutputChannelCount(*m_outputType) : 0;
    m_inputLists = InputListCount(m_inputType);

    m_inputChanged = m_outputChanged = m_applyNeeded = m_encoderChanged = false;
    m_lastUsbKey.reset();
    m_lastChangeIndicator.reset();
    m_lastListIndicator.reset();
    m_fields.Forget();
    m_writeProblem.clear();
    m_reportDone = false;
    m_cellEdit.reset();
    KillTimer(kMessageTimer);
    m_table.Open(image, chain);
    m_table.SetUpColumns(Item(kServiceList));
    ShowPageMessage("");

    m_tunerView.Open(m_inputType);
    m_encoderView.Open(m_inputType);
    m_modulatorView.Open(m_outputType, m_channelCount);
    m_streamerView.Open(m_outputType);
    ShowOutputGroup();
    DecodeBlocks();
    ShowValues();
    LoadTable();

    m_open = true;
    m_playout.Open();
    m_polling = true;
    m_failedStatusReads = 0;
    SetTimer(kTickTimer, kFirstTickMs);
    Show(true);
}

void CSatCofdm::CloseChain() {
    if (!m_open)
        return;
    if ((m_inputChanged || m_outputChanged) && m_polling && !m_inTick)
        Tick();
    KillTimer(kTickTimer);
    KillTimer(kMessageTimer);
    m_polling = false;
    m_open = false;
    m_playout.Close();
    Show(false);
}

void CSatCofdm::ShowOutputGroup() {
    const bool streamer = m_outputType == type::kIpStreamer;
    const bool qam = m_outputType == type::kModC4 || m_outputType == type::kModC2;
    Item(kOutputGroup).SetText(text::LocalizedText(HasOutput() ? kTextModulation : kTextActivation));
    Item(kOutputPicture).Show(HasOutput());
    Item(kOutputPicture).SetImage(ui::Bitmap(streamer ? kStreamerBitmap : qam ? kQamBitmap : kCofdmBitmap));
}

void CSatCofdm::DecodeBlocks() {
    // A block that does not decode leaves the values of a fresh opening, and is not written back.
    const auto input = m_image->Live(m_chain.input).Block();
    std::string problem = IsTunerType(m_inputType) ? m_tunerView.Decode(input) : m_encoderView.Decode(input);
    m_inputDecoded = problem.empty();
    std::string outputProblem;
    if (m_outputType) {
        const auto output = m_image->Live(m_chain.output).Block();
        outputProblem =
            m_modulatorView.Active() ? m_modulatorView.Decode(output) : m_streamerView.Decode(output);
    }
    m_outputDecoded = outputProblem.empty();
    if (problem.empty())
        problem = outputProblem;
    if (!problem.empty())
        ShowPageMessage(text::FormatToolText(text::ToolText::SettingsUnreadable, {problem}));
}

void CSatCofdm::ShowValues() {
    m_tunerView.ShowValues();
    m_encoderView.ShowValues();
    m_modulatorView.ShowValues();
    m_streamerView.ShowValues();
    RefreshWarnings();
}

void CSatCofdm::RefreshWarnings() {
    m_tunerView.RefreshWarnings();
    m_modulatorView.RefreshWarnings();
}

std::string CSatCofdm::TotalRateText() const {
    if (m_modulatorView.Active())
        return m_modulatorView.TotalRateText();
    if (m_streamerView.Active())
        return m_streamerView.RateText();
    return {};
}

// The service table ------------------------------------------------------------------------

void CSatCofdm::LoadTable() {
    if (IsTunerType(m_inputType))
        m_table.LoadInput(m_tunerView.Values());
    else if (m_inputType == type::kAvEncoder)
        m_table.LoadInput(m_encoderView.Encoder());
    else if (m_inputType == type::kHdEncoder)
        m_table.LoadInput(m_encoderView.Hd());
    if (m_modulatorView.Active())
        m_table.LoadOutput(m_modulatorView.Values());
    else if (m_streamerView.Active())
        m_table.LoadOutput(m_streamerView.Values());
    else if (!m_outputType && m_inputLists > 1)
        m_table.BuildOutputsFromInputLists();
    const Marks marks = m_table.ApplyConsistencyRules();
    m_inputChanged |= marks.inputChanged;
    m_outputChanged |= marks.outputChanged;
    RebuildTable();
}

void CSatCofdm::RebuildTable() {
    m_table.Build();
    FillServiceList();
    m_tunerView.EnableStreamingFields(m_tunerView.Values().schedule.empty(), m_table.StreamingSource());
    m_streamerView.RefreshStreamTable(m_table);
    DrawRateGraph();
}

// Fills the list; an open cell editor whose service moved or left ends without writing.
void CSatCofdm::FillServiceList() {
    m_table.Fill(Item(kServiceList));
    const auto open = ui::CInPlaceEdit::OpenOn(*this, kServiceList);
    if (!open || !m_cellEdit)
        return;
    const auto& rows = m_table.Rows();
    const bool same = open->row < static_cast<int>(rows.size()) &&
                      rows[static_cast<size_t>(open->row)].serviceId == m_cellEdit->serviceId;
    if (!same) {
        ui::CInPlaceEdit::Close(*this, kServiceList);
        m_cellEdit.reset();
    }
}

std::optional<ui::CellEdit> CSatCofdm::OpenCellEdit(int listId) const {
    return ui::CInPlaceEdit::OpenOn(*this, listId);
}

void CSatCofdm::ShowPageMessage(const std::string& text) {
    Item(kPageMessage).SetText(text);
}

void CSatCofdm::ShowNotIdentified() {
    ShowPageMessage(text::LocalizedText(kNotIdentifiedText));
    SetTimer(kMessageTimer, kNotIdentifiedMs);
}

// Control handlers: they only record what changed ------------------------------------------

void CSatCofdm::Mark(bool input, bool apply, bool encoder, bool output) {
    m_inputChanged |= input;
    m_applyNeeded |= apply;
    m_encoderChanged |= encoder;
    m_outputChanged |= output;
}

void CSatCofdm::OnEditChange(int controlId) {
    if (!m_open)
        return;
    if (m_playout.OnEditChange(controlId))
        return;
    std::optional<FieldMarks> marks = m_tunerView.OnEditChange(controlId);
    if (!marks)
        marks = m_encoderView.OnEditChange(controlId);
    if (!marks)
        marks = m_modulatorView.OnEditChange(controlId);
    if (!marks)
        marks = m_streamerView.OnEditChange(controlId);
    if (marks)
        Mark(*marks);
    RefreshWarnings();
}

void CSatCofdm::OnSelChange(int controlId) {
    if (!m_open)
        return;
    if (m_playout.OnSelChange(controlId))
        return;
    if (controlId == kServiceList) {
        DrawRateGraph();
        return;
    }
    std::optional<FieldMarks> marks = m_tunerView.OnSelChange(controlId);
    if (!marks)
        marks = m_encoderView.OnSelChange(controlId);
    if (!marks)
        marks = m_modulatorView.OnSelChange(controlId);
    if (!marks)
        marks = m_streamerView.OnSelChange(controlId);
    if (marks)
        Mark(*marks);
    RefreshWarnings();
}

void CSatCofdm::OnCheckChange(int controlId) {
    if (!m_open)
        return;
    std::optional<FieldMarks> marks = m_tunerView.OnCheckChange(controlId);
    if (!marks)
        marks = m_modulatorView.OnCheckChange(controlId);
    if (!marks)
        marks = m_streamerView.OnCheckChange(controlId);
    if (marks)
        Mark(*marks);
}

void CSatCofdm::OnScroll(int controlId, int position) {
    if (!m_open)
        return;
    std::optional<FieldMarks> marks = m_tunerView.OnScroll(controlId, position);
    if (!marks)
        marks = m_modulatorView.OnScroll(controlId);
    if (!marks)
        marks = m_encoderView.OnScroll(controlId);
    if (marks)
        Mark(*marks);
}

void CSatCofdm::OnClick(int controlId) {
    if (!m_open)
        return;
    if (m_playout.OnClick(controlId))
        return;
    if (controlId == kServiceList)
        DrawRateGraph(); // the selected rows' segments change colour
    m_tunerView.OnClick(controlId);
}

void CSatCofdm::OnTimeChange(int controlId) {
    if (m_open)
        m_playout.OnTimeChange(controlId);
}

void CSatCofdm::OnDoubleClick(int controlId, ui::ListHit hit) {
    if (!m_open)
        return;
    if (controlId == kOutputPicture && m_outputType) {
        Windows().Beep(kBeepHz, kBeepMs);
        m_commands->Execute(m_image->Live(m_chain.output).address);
        return;
    }
    if (controlId == kServiceList) {
        const std::vector<int> selected = Item(kServiceList).SelectedRows();
        const ClickResult result = m_table.DoubleClick(hit.row, hit.column, selected);
        if (result.notIdentified)
            ShowNotIdentified();
        if (result.marks.Any()) {
            m_inputChanged |= result.marks.inputChanged;
            m_outputChanged |= result.marks.outputChanged;
            RebuildTable();
        }
        if (result.editText && hit.row >= 0 && hit.row < static_cast<int>(m_table.Rows().size()) &&
            ui::CInPlaceEdit::Create(*this, kServiceList, hit.row, hit.column, *result.editText))
            m_cellEdit = ServiceCellEdit{m_table.Rows()[static_cast<size_t>(hit.row)].serviceId, hit.column};
        return;
    }
    if (controlId == kStreamTable) {
        if (auto text = stream_table::EditText(m_streamerView.Values(), hit.row, hit.column))
            ui::CInPlaceEdit::Create(*this, kStreamTable, hit.row, hit.column, *text);
    }
}

void CSatCofdm::OnEndLabelEdit(int controlId, ui::ListHit cell, const std::optional<std::string>& text) {
    if (!m_open)
        return;
    if (controlId == kServiceList) {
        const std::optional<ServiceCellEdit> edit = m_cellEdit;
        m_cellEdit.reset();
        // The edit belongs to the service it opened on; if that is no longer the row's, no write.
        const auto& rows = m_table.Rows();
        if (!edit || edit->column != cell.column || cell.row < 0 ||
            cell.row >= static_cast<int>(rows.size()) ||
            rows[static_cast<size_t>(cell.row)].serviceId != edit->serviceId)
            return;
        const Marks marks = m_table.EndCellEdit(cell.row, cell.column, text);
        if (marks.Any()) {
            m_inputChanged |= marks.inputChanged;
            m_outputChanged |= marks.outputChanged;
            RebuildTable();
        }
    } else if (controlId == kStreamTable) {
        if (m_streamerView.EndStreamEdit(cell.row, cell.column, text, m_table))
            m_outputChanged = true;
    }
}

// The timer tick ------------------------------------------------------------------------------

void CSatCofdm::OnTimer(int timerId) {
    if (timerId == kTickTimer) {
        Tick();
    } else if (timerId == kMessageTimer) {
        KillTimer(kMessageTimer);
        if (Item(kPageMessage).Text() == text::LocalizedText(kNotIdentifiedText))
            ShowPageMessage("");
    }
}

void CSatCofdm::Tick() {
    if (!m_open || m_inTick)
        return;
    m_inTick = true;
    KillTimer(kTickTimer);
    if (!InputStatus()) {
        // A silent input module stops the page until it is opened again; a lost answer
        // only delays the next tick. The edits typed meanwhile stay marked and are written
        // by the first tick that reads the status again.
        if (++m_failedStatusReads > kStatusRetries)
            m_polling = false;
        else
            SetTimer(kTickTimer, kTickMs * m_failedStatusReads);
        m_inTick = false;
        return;
    }
    m_failedStatusReads = 0;
    OutputStatus();
    if ((m_inputChanged || m_outputChanged) && ReadFields()) {
        m_modulatorView.RefreshChannelFrequencies();
        Write();
        if (m_inputType == type::kAvEncoder || m_inputType == type::kHdEncoder)
            ReadServiceList();
        RebuildTable();
        m_inputChanged = m_outputChanged = false;
    }
    if (m_applyNeeded) {
        m_applyNeeded = false;
        m_image->ApplyOutputs(*m_commands, m_image->Live(m_chain.input).address);
    }
    DrawRateGraph();
    if (m_reportPending && !m_reportDone) {
        m_reportDone = true;
        if (m_reportHook)
            m_reportHook(*this);
    }
    SetTimer(kTickTimer, kTickMs);
    m_inTick = false;
}

bool CSatCofdm::ReadFields() {
    return m_tunerView.ReadBack() && m_encoderView.ReadBack() && m_modulatorView.ReadBack() &&
           m_streamerView.ReadBack();
}

// Writing -------------------------------------------------------------------------------------

void CSatCofdm::Write() {
    rack::ModuleRecord& input = m_image->Live(m_chain.input);
    rack::ModuleRecord* output = m_outputType ? &m_image->Live(m_chain.output) : nullptr;
    std::string problem;
    auto store = [&](rack::ModuleRecord& record, st::EncodeResult result) {
        const bool decoded = &record == &input ? m_inputDecoded : m_outputDecoded;
        if (!decoded) {
            problem = text::FormatToolText(text::ToolText::SettingsNotRead, {std::to_string(record.address)});
            return;
        }
        if (!result.Ok()) {
            problem = text::FormatToolText(text::ToolText::SettingsNotWritten, {result.error});
            return;
        }
        record.SetBlock(result.block);
    };
    // Three encodes with two rule passes between them: a rule pass can change what the
    // blocks hold, and the rules read the blocks of the following outputs.
    for (int pass = 0; pass < 3; ++pass) {
        problem.clear();
        if (output && m_modulatorView.Active()) {
            st::ModulatorValues& values = m_modulatorView.Values();
            m_table.StoreOutput(values);
            store(*output,
                  st::EncodeModulatorBlock(*m_outputType, values,
                                           st::ModulatorEncodeContext::FromStoredBlock(output->Block())));
        } else if (output && m_streamerView.Active()) {
            m_table.StoreOutput(m_streamerView.Values());
            store(*output, st::EncodeIpStreamerBlock(m_streamerView.Values()));
        }
        // The counter advances once per write, not once per pass.
        bool changed = m_encoderChanged && pass == 0;
        if (IsTunerType(m_inputType)) {
            m_table.StoreInput(m_tunerView.Values());
            store(input, st::EncodeTunerBlock(m_tunerView.Values(), m_tunerView.Checks()));
        } else if (m_inputType == type::kAvEncoder) {
            m_table.StoreInput(m_encoderView.Encoder());
            store(input, st::EncodeEncoderBlock(m_encoderView.Encoder(), changed));
        } else if (m_inputType == type::kHdEncoder) {
            m_table.StoreInput(m_encoderView.Hd());
            store(input, st::EncodeHdEncoderBlock(m_encoderView.Hd(), changed));
        }
        if (pass < 2)
            m_table.ApplyConsistencyRules();
    }
    m_encoderChanged = false;
    ApplyDescrambledUpstream(*m_image, m_chain.input);
    m_writeProblem = problem;

    ShowPageMessage(problem);
    std::vector<size_t> notWritten;
    const bool restart = m_image->SendChanges(*m_commands, &notWritten);
    m_lastWriteFailed = !notWritten.empty();
    if (restart)
        ShowPageMessage(text::LocalizedToolText(text::ToolText::RackRestarts));
}

} // namespace kaptiv::editor
