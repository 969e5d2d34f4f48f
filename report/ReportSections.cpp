#include "report/ReportSections.h"

#include "editor/CSatCofdm.h"
#include "platform/ModuleType.h"
#include "report/ReportText.h"
#include "resources/SettingsIds.h"
#include "settings/BlockText.h"
#include "text/Language.h"
#include "text/ToolText.h"

#include <cstdio>
#include <vector>

namespace kaptiv::report {

namespace {
namespace ids = resources::page;

const std::vector<std::string> kAudioRates = {"128 kb/s", "192 kb/s", "256 kb/s", "320 kb/s", "384 kb/s"};
const std::vector<std::string> kCodeRates = {"1/2", "2/3", "3/4", "5/6", "7/8"};
const std::vector<std::string> kQamConstellations = {"QAM16", "QAM32", "QAM64", "QAM128", "QAM256"};
const std::vector<std::string> kCofdmConstellations = {"QPSK", "QAM16", "QAM64"};
const std::vector<std::string> kGuardIntervals = {"1/32", "1/16", "1/8", "1/4"};
const std::vector<std::string> kStandards = {"DVB-C", "DVB-T", "DVB-T2"};
constexpr int kUnlockedImage = 187;
constexpr int kLockedImage = 190;
constexpr uint8_t kDvbC = 0;

std::string T(const char* english) {
    return text::TranslateHeading(english);
}

// A list text by index; a value the list does not know shows as "?" rather than reading past it.
std::string Pick(const std::vector<std::string>& list, int index) {
    return index >= 0 && index < static_cast<int>(list.size()) ? list[static_cast<size_t>(index)] : "?";
}

std::string Number(long long value, const char* format = "%lld") {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Letter(int index) {
    return std::string(1, static_cast<char>('A' + index));
}

// Builds one table: start, rows of cells, end.
class Table {
public:
    explicit Table(std::string& out) : m_out(out) { m_out += kTableStart; }
    ~Table() { m_out += kTableEnd; }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;
    void Row(const std::vector<std::string>& cells) {
        m_out += kRowStart;
        for (const std::string& cell : cells)
            m_out += cell;
        m_out += kRowEnd;
    }

private:
    std::string& m_out;
};

std::vector<std::string> Headings(std::initializer_list<std::string> terms) {
    std::vector<std::string> cells;
    for (const std::string& term : terms)
        cells.push_back(HeadingCell(term));
    return cells;
}

std::vector<std::string> Data(std::initializer_list<std::string> texts) {
    std::vector<std::string> cells;
    for (const std::string& text : texts)
        cells.push_back(DataCell(text));
    return cells;
}

// Level and quality meter positions and the lock light of one tuner input.
std::vector<std::string> LockCells(const editor::CSatCofdm& page, int input) {
    const int d = input * ids::kInputStride;
    const ui::ImageRef lock = page.Item(ids::kLockIcon + d).Image();
    const char* state = lock == ui::Bitmap(kUnlockedImage) ? "UNLOCKED"
                        : lock == ui::Bitmap(kLockedImage) ? "LOCKED"
                                                           : "OK";
    return {DataCell(Number(page.Item(ids::kLevelBar + d).Position())),
            DataCell(Number(page.Item(ids::kQualityBar + d).Position())), DataCell(state)};
}

void RateTable(std::string& out, const editor::CSatCofdm& page) {
    out += kBreak;
    Table table(out);
    // The rate of this chain's output as the page shows it: none without an output.
    table.Row({HeadingCell(T("RATE")), DataCell(Escape(page.TotalRateText()))});
}

void Identification(std::string& out, const editor::CSatCofdm& page) {
    const settings::TunerValues& tuner = page.Tuner();
    Table table(out);
    table.Row({HeadingSpanCell(2, T("Identification"))});
    table.Row(Headings({T("IP address"), T("server")}));
    const std::string& address = page.Item(ids::kReceiverAddress).Text();
    table.Row(Data({Escape(address.empty() ? std::string("0.0.0.0") : address),
                    Escape(settings::ToUtf8(tuner.serverAddress)) + ":" + Number(tuner.serverPort)}));
}

void SatelliteTuner(std::string& out, const editor::CSatCofdm& page, uint8_t type) {
    const settings::TunerValues& tuner = page.Tuner();
    const bool single = type == type::kSat1;
    {
        Table table(out);
        table.Row({HeadingSpanCell(11, T("Configuration"))});
        table.Row(Headings({" ", T("FREQ."), T("S.R."), single ? std::string("F.E.C.") : T("POL."),
                            T("SWITCH"), T("LEVEL"), T("S.N.R."), T("STATUS")}));
        const int inputs = single ? 1 : 2;
        for (int k = 0; k < inputs && k < static_cast<int>(tuner.sections.size()); ++k) {
            const settings::InputSection& s = tuner.sections[static_cast<size_t>(k)];
            std::vector<std::string> row = {
                HeadingCell(Letter(k)), DataCell(Number(s.frequencyMHz, "%lld MHz")),
                DataCell(Number(s.symbolRate)),
                DataCell(single ? Pick(kCodeRates, s.fecIndex) : (s.horizontal ? "H" : "V")),
                DataCell(Letter((k == 0 ? tuner.switchA : tuner.switchB) & 3))};
            for (std::string& cell : LockCells(page, k))
                row.push_back(std::move(cell));
            table.Row(row);
        }
    }
    if (!single)
        RateTable(out, page);
}

void TerrestrialTuner(std::string& out, const editor::CSatCofdm& page) {
    const settings::TunerValues& tuner = page.Tuner();
    {
        Table table(out);
        table.Row({HeadingSpanCell(11, T("Configuration"))});
        table.Row(Headings({" ", "DVB", T("FREQ."), T("BAND."), T("LEVEL"), T("S.N.R."), T("STATUS")}));
        for (int k = 0; k < 2; ++k) {
            const settings::TerrestrialTuning& t = tuner.terrestrial[static_cast<size_t>(k)];
            char frequency[48];
            std::snprintf(frequency, sizeof frequency, "%u.%03u MHz", t.frequencyKHz / 1000,
                          t.frequencyKHz % 1000);
            std::vector<std::string> row = {
                HeadingCell(Letter(k)), DataCell(Pick(kStandards, t.standard)), DataCell(frequency),
                DataCell(t.standard == kDvbC ? std::string("-") : Number(t.bandwidthMHz, "%lld MHz"))};
            for (std::string& cell : LockCells(page, k))
                row.push_back(std::move(cell));
            table.Row(row);
        }
    }
    RateTable(out, page);
}

void KeyAndStreaming(std::string& out, editor::CSatCofdm& page) {
    // The key's own files, from the first one: the two stream entries of types 10 and 12 are
    // not files, and type 7 has none to leave out.
    const std::vector<std::u32string>& names = page.Playout().Operations().KeyNames();
    if (!names.empty()) {
        out += kBreak;
        Table table(out);
        table.Row({HeadingCell(T("USB-Key Content"))});
        std::vector<std::string> row;
        for (const std::u32string& name : names)
            row.push_back(DataCell(Escape(name)));
        table.Row(row);
    }
    const settings::TunerValues& tuner = page.Tuner();
    if (!tuner.schedule.empty()) {
        out += kBreak;
        Table table(out);
        const std::string title = T("Streaming on S.I.D.") + " " + Number(tuner.streamingServiceId) + " (" +
                                  T("NAME") + " : " + Escape(tuner.streamedName) + ")";
        table.Row({HeadingSpanCell(3, title)});
        table.Row(Headings({T("FROM"), T("TO"), T("FILE")}));
        for (const settings::ScheduleEntry& entry : tuner.schedule) {
            char from[32];
            char to[32];
            std::snprintf(from, sizeof from, "%02u:%02u", entry.start / 60, entry.start % 60);
            std::snprintf(to, sizeof to, "%02u:%02u", entry.end / 60, entry.end % 60);
            table.Row(Data({from, to, Escape(entry.fileName)}));
        }
    }
}

void Encoder(std::string& out, const editor::CSatCofdm& page) {
    Table table(out);
    table.Row({HeadingSpanCell(13, T("Configuration"))});
    table.Row({HeadingSpanCell(3, " "), HeadingSpanCell(3, "PID"), HeadingSpanCell(2, T("RATE")),
               HeadingSpanCell(5, " ")});
    table.Row({HeadingCell(" "), HeadingCell("SID"), HeadingCell(T("NAME")), HeadingCell("PMT"),
               HeadingCell("VID"), HeadingCell("AUD"), HeadingCell("VID"), HeadingCell("AUD"),
               HeadingSpanCell(2, "FMT"), HeadingCell(T("LIGHT")), HeadingCell(T("CONT.")),
               HeadingCell(T("SAT."))});
    const auto& channels = page.Encoder().channels;
    for (size_t k = 0; k < channels.size(); ++k) {
        const settings::EncoderChannel& c = channels[k];
        table.Row({HeadingCell(Letter(static_cast<int>(k))), DataCell(Number(c.serviceId)),
                   DataCell(Escape(c.name)), DataCell(Number(c.unseen[0])), DataCell(Number(c.unseen[1])),
                   DataCell(Number(c.unseen[2])), DataCell(Number(c.videoRateKbps, "%lld kb/s")),
                   DataCell(Pick(kAudioRates, c.audioIndex)), DataCell(c.standard ? "NTSC" : "PAL"),
                   DataCell(c.aspect ? "16/9" : "4/3"), DataCell(Number(c.brightness)),
                   DataCell(Number(c.contrast)), DataCell(Number(c.saturation))});
    }
}

void HdEncoder(std::string& out, const editor::CSatCofdm& page) {
    Table table(out);
    table.Row({HeadingSpanCell(13, T("Configuration"))});
    table.Row({HeadingSpanCell(3, " "), HeadingSpanCell(3, "PID"), HeadingSpanCell(2, T("RATE"))});
    table.Row(Headings({" ", "SID", T("NAME"), "PMT", "VID", "AUD", "VID", "AUD"}));
    const auto& channels = page.HdEncoder().channels;
    for (size_t k = 0; k < channels.size(); ++k) {
        const settings::HdChannel& c = channels[k];
        table.Row({HeadingCell(Letter(static_cast<int>(k))), DataCell(Number(c.serviceId)),
                   DataCell(Escape(c.name)), DataCell(Number(c.unseen[0])), DataCell(Number(c.unseen[1])),
                   DataCell(Number(c.unseen[2])), DataCell(Number(c.videoRateKbps, "%lld kb/s")),
                   DataCell(Pick(kAudioRates, c.audioIndex))});
    }
}

void InputServices(std::string& out, const editor::CSatCofdm& page) {
    const auto& rows = page.Table().Rows();
    bool known = false;
    for (const editor::ServiceRow& row : rows)
        known |= row.from != editor::kFromUnknown;
    if (!known)
        return;
    out += kBreak;
    Table table(out);
    table.Row({HeadingSpanCell(6, T("Multiplexes Content"))});
    table.Row(Headings({" ", " SID", T("NAME"), "Type", T("Crypted"), T("Used")}));
    for (const editor::ServiceRow& row : rows) {
        const char* kind = row.serviceType == 1 ? "TV" : row.serviceType == 2 ? "RADIO" : "???";
        table.Row(Data({page.Table().CellText(row, editor::column::kFrom), Number(row.serviceId),
                        Escape(row.name), kind, row.crypted ? "X" : " ", row.channel != 0 ? "X" : " "}));
    }
}

void Modulator(std::string& out, const editor::CSatCofdm& page, uint8_t type) {
    const settings::ModulatorValues& m = page.Modulator();
    const bool qam = type == type::kModC4 || type == type::kModC2;
    {
        Table table(out);
        table.Row({HeadingSpanCell(6, T("Configuration"))});
        table.Row(Headings({T("CONST."), T("BAND."), "F.E.C.", T("G.I."), T("S.R."), T("LEVEL")}));
        const int bandwidthMHz = 6 + m.radio.bandwidthCode;
        table.Row(Data({Pick(qam ? kQamConstellations : kCofdmConstellations, m.radio.constellation),
                        qam ? std::string("-") : Number(bandwidthMHz, "%lld MHz"),
                        qam ? std::string("-") : Pick(kCodeRates, m.radio.codeRate),
                        qam ? std::string("-") : Pick(kGuardIntervals, m.radio.guard),
                        qam ? Number(m.symbolRateKSps) : std::string("-"),
                        Number(m.radio.levelStep - 30, "%llddB")}));
    }
    {
        Table table(out);
        table.Row({HeadingSpanCell(5, "NIT")});
        table.Row(Headings({T("VERS."), "ONID", "NID", "L.C.N.", T("NAME")}));
        table.Row(
            Data({Number(m.nitVersion), Number(m.originalNetworkId), Number(m.networkId),
                  m.lcnFlavour == settings::LcnFlavour::Eacem ? "EACEM" : "ITC", Escape(m.networkName)}));
    }
    const int channels = page.ChannelCount();
    {
        Table table(out);
        table.Row(Headings({" ", T("FREQ."), "TS ID", T("USAGE")}));
        for (int k = 0; k < channels && k < static_cast<int>(m.transportStreamIds.size()); ++k) {
            const int base = ids::kChannelBase + k * ids::kChannelStride;
            table.Row(
                Data({Letter(k),
                      Number(static_cast<long long>(settings::ChannelFrequencyKHz(m.radio, k + 1) / 1000),
                             "%lld MHz"),
                      Number(m.transportStreamIds[static_cast<size_t>(k)]),
                      Escape(page.Item(base + ids::kChanRate).Text())}));
        }
    }
    out += kBreak;
    Table table(out);
    const int cis = page.Table().Shape().ciCount;
    table.Row({HeadingSpanCell(5 + cis + channels, T("Multiplexes Content"))});
    table.Row({HeadingCell(" "), HeadingCell(" "), HeadingSpanCell(cis, T("DECRYPT")),
               HeadingSpanCell(channels, T("MODULATION")), HeadingCell(" "), HeadingCell(" "),
               HeadingCell(" ")});
    std::vector<std::string> heading = {HeadingCell("SID"), HeadingCell("NAME")};
    for (int k = 1; k <= cis; ++k)
        heading.push_back(HeadingCell(Number(k)));
    for (int k = 1; k <= channels; ++k)
        heading.push_back(HeadingCell(Number(k)));
    for (const char* term : {"LCN", "HD LCN", "N.SID"})
        heading.push_back(HeadingCell(term));
    table.Row(heading);
    for (const editor::ServiceRow& row : page.Table().Rows()) {
        std::vector<std::string> cells = {DataCell(Number(row.serviceId)), DataCell(Escape(row.name))};
        for (int k = 1; k <= cis; ++k)
            cells.push_back(DataCell(row.cam == k ? "X" : " "));
        for (int k = 1; k <= channels; ++k)
            cells.push_back(DataCell(row.channel == k ? "X" : " "));
        cells.push_back(DataCell(Number(row.logicalChannel)));
        cells.push_back(DataCell(Number(row.hdLogicalChannel)));
        cells.push_back(DataCell(Number(row.outputServiceId)));
        table.Row(cells);
    }
}
// A block that does not decode: one line saying so, not the defaults the page holds instead.
void NotDecoded(std::string& out) {
    Table table(out);
    table.Row({DataCell(Escape(text::LocalizedToolText(text::ToolText::BlockNotDecoded)))});
}
} // namespace

std::string WriteSection(const editor::CSatCofdm& constPage, bool reportedIsInput) {
    // The page's play-out part is reached through non-const accessors only; nothing is changed.
    auto& page = const_cast<editor::CSatCofdm&>(constPage);
    std::string out;
    if (reportedIsInput) {
        const uint8_t type = page.InputType();
        if (!page.InputDecoded() && LayoutOfType(type) != BlockLayout::None) {
            NotDecoded(out);
            return out;
        }
        if (type == type::kSat2 || type == type::kTerrestrial)
            Identification(out, page);
        switch (type) {
        case type::kAvEncoder:
            Encoder(out, page);
            break;
        case type::kHdEncoder:
            HdEncoder(out, page);
            break;
        case type::kSat1:
        case type::kSat2_0:
        case type::kSat2:
            SatelliteTuner(out, page, type);
            break;
        case type::kTerrestrial:
            TerrestrialTuner(out, page);
            break;
        default:
            break;
        }
        if (type == type::kSat2_0 || type == type::kSat2 || type == type::kTerrestrial)
            KeyAndStreaming(out, page);
        InputServices(out, page);
        return out;
    }
    const std::optional<uint8_t> output = page.OutputType();
    if (output && (*output == type::kModT2 || *output == type::kModT4 || *output == type::kModC4 ||
                   *output == type::kModC2)) {
        if (page.OutputDecoded())
            Modulator(out, page, *output);
        else
            NotDecoded(out);
    }
    return out;
}

} // namespace kaptiv::report
