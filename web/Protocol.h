#pragma once
// The messages between the dialog model and the page, declared in this one place. Every
// message is one WebSocket text frame holding one JSON object with a "type".
//
// Model -> page
//   update   {"type":"update","full":bool,"destroyed":[dialogId..],"dialogs":[Dialog..],
//             "controls":[{"dialog":id,"control":Control}..],"modal":[dialogId..]?,
//             "focus":{"dialog":id,"control":id}?,"requests":[Request..],"closed":[requestId..],
//             "beeps":[{"freq":Hz,"ms":ms}..],
//             "texts":{"language":"fr","texts":{key:text..}}}  (the page's own texts)
//            The state changes of one repaint point (full: the whole state, sent when a page
//            connects or asks to resync). The page applies the parts in the order above.
//            Dialog shown/hidden/moved/retitled, modal push/pop, message boxes, file dialogs
//            and beeps all travel in it. Field names: see EncodeDialog/EncodeControl.
//   folder {"type":"folder","request":n,"ok":bool,"path":..,"parent":..,"entries":[{"name","dir","size"}..],
//           (path, parent and each entry also carry "pathRef"/"parentRef"/"ref" when not UTF-8)
//             "truncated":bool,"error":..?}  the answer to a folder-list request of the file dialog.
//
// Page -> model (untrusted: size and depth limits, exact types, ids in range; never throws)
//   {"type":"click","dialog","control","row"?,"col"?}   {"type":"dblclick",... "row","col"}
//   {"type":"select","dialog","control","value"? | "rows"?}   {"type":"edit","dialog","control","text"}
//   {"type":"check","dialog","control","value":0|1}   {"type":"scroll","dialog","control","value"}
//   {"type":"time","dialog","control","text":"HH:mm"}  {"type":"focus"|"focuslost","dialog","control"}
//   {"type":"keydown"|"keyup","dialog","control"?,"key":"Enter"|"Escape"|...}
//   {"type":"endlabeledit","dialog","control","row","col","text"?}  (no text = cancelled)
//   {"type":"close","dialog"}
//   {"type":"answer","request","result":"ok"|"cancel"|"yes"|..,"paths"?:[..]}
//   {"type":"listfolder","request","path","patterns"?}   {"type":"resync"}
#include "ui/DisplayUpdate.h"
#include "ui/FolderListing.h"
#include "ui/PageTexts.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::web {

constexpr size_t kMaxBrowserMessageBytes = 64 * 1024;
constexpr int kMaxBrowserMessageDepth = 4;
constexpr size_t kMaxEventText = 16 * 1024;
constexpr size_t kMaxPathBytes = 4096;
constexpr size_t kMaxEventRows = 4096;
constexpr size_t kMaxAnswerPaths = 256;
constexpr int kMaxId = 65535;

// ---- model -> page ----------------------------------------------------------------------

// With texts, the update also carries the page's own texts ("texts").
std::string EncodeUpdate(const ui::DisplayUpdate& update, const ui::PageTexts* texts = nullptr);

std::string EncodeFolderListing(uint64_t request, const ui::FolderListing& listing);

// File names are bytes; JSON texts are UTF-8. A path or name that is not valid UTF-8 goes to
// the page with its shown text (each bad byte as U+FFFD) and a "ref": the bytes with '%' and
// every byte outside a valid UTF-8 sequence written %XX. The page sends every path back in
// that form (it writes '%' typed by the installer as %25), so such a name can be chosen and
// opened. DecodePathRef reads %XX (two hex digits) as the byte and keeps any other '%'.
std::string EncodePathRef(std::string_view bytes);
std::string DecodePathRef(std::string_view ref);
bool IsValidUtf8(std::string_view bytes);

// ---- page -> model ----------------------------------------------------------------------

enum class BrowserMessageKind { Event, Answer, ListFolder, Resync };

struct BrowserMessage {
    BrowserMessageKind kind = BrowserMessageKind::Event;
    ui::UiEvent event;        // Event
    uint64_t request = 0;     // Answer, ListFolder
    ui::RequestAnswer answer; // Answer
    std::string path;         // ListFolder: the folder
    std::string patterns;     // ListFolder: "*.qvc;*.txt" (empty = every file)
};

struct ParsedBrowserMessage {
    std::optional<BrowserMessage> message;
    std::string error; // why it was refused, when message is empty
};

ParsedBrowserMessage ParseBrowserMessage(std::string_view text) noexcept;
// The page's side of the wire, for tests and the fuzz target's round trip.
std::string EncodeBrowserMessage(const BrowserMessage& message);

const char* EventKindToText(ui::EventKind kind); // the wire name: "click", "keydown" ...
const char* KeyToText(ui::Key key);
const char* ResultToText(ui::ModalResult result);

} // namespace kaptiv::web
