#pragma once
// The service table of a chain's settings page: the one list in which the installer composes
// the output multiplexes of a chain (which received service leaves on which channel or stream,
// which common-interface module descrambles it, under which service id and logical channel
// numbers).
//
// It merges four sources into rows keyed by service id: the input lists (the selections stored
// in the input block), the services the input module receives, the output entries (decoded from
// the modulator or IP streamer block) and the input's own file-streaming service. The consistency
// rules keep the input lists and the output entries in step before every write.
//
// The model holds no window: the page loads the decoded blocks into it, asks it to apply the
// rules and to build the rows, forwards the installer's clicks and cell edits, writes the result
// back into the decoded values before encoding them, and lets it fill the list view control.
// Clicks and rules report the marks they set; the page acts on them in its timer tick.
//
// The page's sequence:
//   opening   Open; LoadInput; LoadOutput (or, without output and with several input lists,
//             BuildOutputsFromInputLists); SetReceived (ParseReceivedServices of the ReadData
//             answer); ApplyConsistencyRules; Build; SetUpColumns and Fill on the list view.
//   clicks    DoubleClick -> marks, the "Not identified service !" text, or an editor to open
//             (ui::CInPlaceEdit) whose end goes to EndCellEdit; then Fill.
//   writing   three times: StoreOutput into the output values, encode them into the output's
//             record, ApplyDescrambledUpstream; StoreInput into the input values, encode them
//             into the input's record; the first two times ApplyConsistencyRules. Then Build,
//             Fill and the rack image's send changes.
#include "editor/ChainRules.h"
#include "editor/ReceivedServices.h"
#include "rack/ChainSearch.h"
#include "rack/RackImage.h"
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"
#include "settings/IpStreamerBlock.h"
#include "settings/ModulatorValues.h"
#include "settings/TunerBlock.h"
#include "ui/Controls.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::editor {

inline constexpr size_t kMaxServiceRows = 500;
inline constexpr size_t kMaxOutputEntries = 100;
inline constexpr size_t kMaxInputListServices = 100;
inline constexpr int kMaxCommonInterfaces = 4;

// Where a row's service comes from: 0 to 2 = inputs "A" to "C" (to "E" on the HD encoder),
// kFromStreaming = the module's own file-streaming service ("D"), kFromUnknown = not received ("?").
inline constexpr uint8_t kFromStreaming = 3;
inline constexpr uint8_t kFromUnknown = 255;

// Columns of the list view.
namespace column {
inline constexpr int kVoid = 0;
inline constexpr int kShare = 1;
inline constexpr int kFrom = 2;
inline constexpr int kSid = 3;
inline constexpr int kName = 4;
inline constexpr int kServiceType = 5;
inline constexpr int kCrypted = 6;
inline constexpr int kCam1 = 7; // "C1" to "C4": columns 7 to 10
inline constexpr int kCam4 = 10;
inline constexpr int kOutput1 = 11; // "On": channel or stream c in column 10 + c
inline constexpr int kOutput16 = 26;
inline constexpr int kLcn = 27;
inline constexpr int kHdLcn = 28;
inline constexpr int kNsid = 29;
inline constexpr int kRuf = 30;
inline constexpr int kCount = 31;
} // namespace column

// Indices into the page's 16 x 16 image list, filled from these bitmaps in this order.
namespace image {
inline constexpr int kTelevision = 0; // service type 1
inline constexpr int kOnChannel = 1;  // the row is on the column's modulator channel
inline constexpr int kRadio = 2;      // service type 2
inline constexpr int kCamOn = 3;      // descrambled by the column's CAM
inline constexpr int kOffChannel = 4; // not on the column's channel
inline constexpr int kCrypted = 5;    // received crypted
inline constexpr int kUnset = 6;      // CAM not this one; "SHARE" of a row of a multi-list input
inline constexpr int kClear = 7;      // received in the clear
inline constexpr int kInert = 8;      // column does not apply (no such CAM or channel, single list)
inline constexpr int kStreamingShare = 9;
inline constexpr int kOnStream = 10;  // IP streamer: the row is on the column's stream
inline constexpr int kOffStream = 11; // IP streamer: not on this stream
inline constexpr int kCount = 12;
} // namespace image
// The bitmap resource of each image index.
inline constexpr int kServiceImageBitmaps[image::kCount] = {171, 172, 173, 174, 175, 176,
                                                            177, 178, 198, 203, 262, 261};

// Language-table entry shown for 2000 ms when a CAM is set on a service that is not received.
inline constexpr int kNotIdentifiedText = 49; // "Not identified service !"
inline constexpr int kNotIdentifiedMs = 2000;

struct ServiceRow {
    uint8_t from = kFromUnknown;
    uint16_t serviceId = 0;
    uint16_t outputServiceId = 0; // initially the service id
    std::u32string name;          // empty when not received
    uint8_t serviceType = 0;      // 1 or 2 as received, 0 when not received
    bool crypted = false;
    uint8_t cam = 0;     // 0 = clear, 1 to 4 = descrambled by that common-interface module
    uint8_t channel = 0; // 0 = not on the output, 1 to 4 modulator channel, 1 to 16 IP stream
    uint16_t logicalChannel = 0;
    uint16_t hdLogicalChannel = 0;
    uint32_t bitRate = 0; // last measured rate at the output; drives the bar graph
    bool operator==(const ServiceRow&) const = default;
};

// One service of the output module (or, for a chain without output, of the input's selection).
struct OutputEntry {
    uint16_t serviceId = 0;
    uint16_t logicalChannel = 0;
    uint16_t hdLogicalChannel = 0;
    uint16_t outputServiceId = 0;
    uint8_t channel = 0; // 0 to 16
    bool descrambledUpstream = false;
    bool operator==(const OutputEntry&) const = default;
};

// One selected service of an input list.
struct ListedService {
    uint16_t serviceId = 0;
    uint8_t cam = 0;
    bool operator==(const ListedService&) const = default;
};

// The marks a change sets; the page's tick writes and applies on them.
struct Marks {
    bool inputChanged = false;
    bool outputChanged = false;
    Marks& operator|=(const Marks& other) {
        inputChanged |= other.inputChanged;
        outputChanged |= other.outputChanged;
        return *this;
    }
    bool Any() const { return inputChanged || outputChanged; }
    bool operator==(const Marks&) const = default;
};

// What a double-click on the list asks of the page.
struct ClickResult {
    Marks marks;
    // A CAM was asked for a service that is not received: show kNotIdentifiedText.
    bool notIdentified = false;
    // The cell opens an in-place editor holding this text (LCN, HD_LCN, NSID columns).
    std::optional<std::string> editText;
};

// A COLORREF value (0x00BBGGRR) as the colour the page draws.
ui::Color ColorFromColorRef(uint32_t colorRef);

// The shape of the chain the table serves, as the page knows it when opening.
struct ChainShape {
    uint8_t inputType = 0;
    std::optional<uint8_t> outputType; // none: a chain without output module
    int ciCount = 0;                   // common-interface modules between them (at most 4)

    bool HasOutput() const { return outputType.has_value(); }
    bool IpStreamer() const;
    int InputLists() const;    // 1, 3 or 5
    int ChannelCount() const;  // 1, 2, 4 or 16; 0 without output
    int OutputColumns() const; // "On" columns shown: 16 with the IP streamer, else 4
};

class ServiceTable {
public:
    // Starts a chain: forgets every source and the rows. The rack image and the chain's row
    // indices are used by rule 5 (the outputs that follow the chain) and by rule P (the
    // pass-through lists of the later inputs); the rack image must outlive the opening.
    void Open(rack::RackImage& rack, const rack::Chain& chain);
    const ChainShape& Shape() const { return m_shape; }

    // Sources, from the decoded blocks.
    void LoadInput(const settings::TunerValues& values);
    void LoadInput(const settings::EncoderValues& values);
    void LoadInput(const settings::HdEncoderValues& values);
    void LoadOutput(const settings::ModulatorValues& values);
    void LoadOutput(const settings::IpStreamerValues& values);
    // Chain without output and an input with more than one list: one entry per selected
    // service, output service id = service id, channel 1, numbers 0.
    void BuildOutputsFromInputLists();
    // What the input module answered to ReadData (see ParseReceivedServices).
    void SetReceived(ReceivedServices received);
    // The file-streaming service of tuners 7, 10, 12 (its row exists while the schedule has entries).
    void SetStreaming(uint16_t serviceId, std::u32string name, bool scheduleHasEntries);
    // Measured output rates by service id; kept across rebuilds until cleared.
    void SetBitRate(uint16_t serviceId, uint32_t rate);
    void ClearBitRates();

    // Writes the input lists and output entries back into the decoded values before encoding.
    void StoreInput(settings::TunerValues& values) const;
    void StoreInput(settings::EncoderValues& values) const;
    void StoreInput(settings::HdEncoderValues& values) const;
    void StoreOutput(settings::ModulatorValues& values) const;
    void StoreOutput(settings::IpStreamerValues& values) const;

    // Consistency rules 1 to 5, in order; returns the marks they set.
    Marks ApplyConsistencyRules();

    // Rebuilds the rows from the sources (at most kMaxServiceRows). The streaming source and
    // the enabling of the streaming fields follow from StreamingSource().
    void Build();
    const std::vector<ServiceRow>& Rows() const { return m_rows; }
    // "from" of the streaming service's row after Build (kFromUnknown when it has no row).
    uint8_t StreamingSource() const { return m_streamingSource; }

    // A double-click on (row, column) of the list with `selectedRows` selected. CAM and channel
    // clicks apply to every selected row (the clicked one decides the new value), change the
    // sources, rebuild the rows and return the marks. Editable cells return the editor text.
    ClickResult DoubleClick(int row, int column, std::span<const int> selectedRows);
    // End of an in-place edit of an LCN, HD_LCN or NSID cell. No text (cancelled) or a number
    // the field cannot hold changes nothing.
    Marks EndCellEdit(int row, int column, const std::optional<std::string>& text);

    // The list view: columns with headers and widths, the image list; then the rows with their
    // cells, images and colours (selection kept by row index).
    void SetUpColumns(ui::Control& list) const;
    void Fill(ui::Control& list) const;

    // Sources, for the page and the tests.
    const std::vector<std::vector<ListedService>>& InputLists() const { return m_inputLists; }
    std::vector<std::vector<ListedService>>& InputLists() { return m_inputLists; }
    const std::vector<OutputEntry>& Outputs() const { return m_outputs; }
    std::vector<OutputEntry>& Outputs() { return m_outputs; }
    const ReceivedServices& Received() const { return m_received; }

    // What a cell shows (text and image index, -1 = none) and a row's text colour.
    std::string CellText(const ServiceRow& row, int column) const;
    int CellImage(const ServiceRow& row, int column) const;
    std::optional<ui::Color> RowColor(const ServiceRow& row) const;

private:
    // Null when the list is full (500 rows, 100 output entries, 100 services per input list).
    ServiceRow* FindOrAdd(uint16_t serviceId);
    OutputEntry* FindOrAddOutput(uint16_t serviceId);
    ListedService* FindOrAddListed(int list, uint16_t serviceId);
    ClickResult ClickCam(int row, int cam, std::span<const int> selectedRows);
    ClickResult ClickChannel(int row, int channel, std::span<const int> selectedRows);
    bool RemoveFromList(int list, uint16_t serviceId);

    rack::RackImage* m_rack = nullptr;
    rack::Chain m_chain;
    ChainShape m_shape;
    std::vector<std::vector<ListedService>> m_inputLists;
    ReceivedServices m_received;
    std::vector<OutputEntry> m_outputs;
    uint16_t m_streamingId = 0;
    std::u32string m_streamingName;
    bool m_scheduleHasEntries = false;
    std::map<uint16_t, uint32_t> m_bitRates;
    std::vector<ServiceRow> m_rows;
    uint8_t m_streamingSource = kFromUnknown;
};

// The IP streamer's stream table: rows "A" to "P", columns hidden, letter, address, port.
namespace stream_table {
inline constexpr int kLetterColumn = 1;
inline constexpr int kAddressColumn = 2;
inline constexpr int kPortColumn = 3;
void SetUpColumns(ui::Control& list);
void Fill(ui::Control& list, const settings::IpStreamerValues& values);
// The text an editor opens with, for the address and port cells only.
std::optional<std::string> EditText(const settings::IpStreamerValues& values, int row, int column);
// Stores an edited cell ("%d.%d.%d.%d" or "%d"); true (output changed) when stored. No text, or
// a number a byte or port cannot hold, stores nothing.
bool EndEdit(settings::IpStreamerValues& values, int row, int column, const std::optional<std::string>& text);
} // namespace stream_table

} // namespace kaptiv::editor
