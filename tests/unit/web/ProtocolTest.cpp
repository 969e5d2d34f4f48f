#include "web/Protocol.h"

#include <cmath>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace kaptiv::web {
namespace {

using nlohmann::json;

BrowserMessage Parse(const std::string& text) {
    const ParsedBrowserMessage parsed = ParseBrowserMessage(text);
    EXPECT_TRUE(parsed.message) << text << ": " << parsed.error;
    return parsed.message.value_or(BrowserMessage{});
}

std::string Refusal(const std::string& text) {
    const ParsedBrowserMessage parsed = ParseBrowserMessage(text);
    EXPECT_FALSE(parsed.message) << text;
    EXPECT_FALSE(parsed.error.empty()) << text;
    return parsed.error;
}

TEST(BrowserMessages, ReadsEveryEventKindKeyedByDialogAndControl) {
    auto m = Parse(R"({"type":"click","dialog":102,"control":1023})");
    EXPECT_EQ(m.kind, BrowserMessageKind::Event);
    EXPECT_EQ(m.event.kind, ui::EventKind::Click);
    EXPECT_EQ(m.event.dialogId, 102);
    EXPECT_EQ(m.event.controlId, 1023);
    EXPECT_EQ(m.event.row, -1);

    m = Parse(R"({"type":"dblclick","dialog":145,"control":1300,"row":4,"col":2})");
    EXPECT_EQ(m.event.kind, ui::EventKind::DoubleClick);
    EXPECT_EQ(m.event.row, 4);
    EXPECT_EQ(m.event.column, 2);

    m = Parse(R"({"type":"select","dialog":145,"control":1300,"rows":[1,3]})");
    EXPECT_EQ(m.event.rows, (std::vector<int>{1, 3}));
    m = Parse(R"({"type":"select","dialog":145,"control":1301,"value":-1})");
    EXPECT_EQ(m.event.value, -1);
    EXPECT_TRUE(m.event.rows.empty());

    m = Parse(R"({"type":"edit","dialog":145,"control":1010,"text":"11.954 \u00e9"})");
    EXPECT_EQ(m.event.text, "11.954 \xc3\xa9");
    EXPECT_EQ(Parse(R"({"type":"check","dialog":1,"control":2,"value":1})").event.value, 1);
    EXPECT_EQ(Parse(R"({"type":"scroll","dialog":1,"control":2,"value":-40})").event.value, -40);
    EXPECT_EQ(Parse(R"({"type":"time","dialog":1,"control":2,"text":"23:59"})").event.text, "23:59");
    EXPECT_EQ(Parse(R"({"type":"focuslost","dialog":1,"control":2})").event.kind, ui::EventKind::FocusLost);
    EXPECT_EQ(Parse(R"({"type":"close","dialog":102})").event.kind, ui::EventKind::Close);

    m = Parse(R"({"type":"keydown","dialog":102,"key":"Escape"})");
    EXPECT_EQ(m.event.kind, ui::EventKind::KeyDown);
    EXPECT_EQ(m.event.key, ui::Key::Escape);
    EXPECT_EQ(m.event.controlId, 0);
    EXPECT_EQ(Parse(R"({"type":"keyup","dialog":102,"control":0,"key":"Escape"})").event.kind,
              ui::EventKind::KeyUp);

    m = Parse(R"({"type":"endlabeledit","dialog":145,"control":1300,"row":2,"col":3,"text":"BBC"})");
    EXPECT_EQ(m.event.value, 1);
    EXPECT_EQ(m.event.text, "BBC");
    EXPECT_EQ(Parse(R"({"type":"endlabeledit","dialog":145,"control":1300,"row":2,"col":3})").event.value, 0);
}

TEST(BrowserMessages, ReadsAnswersFolderRequestsAndResync) {
    auto m = Parse(R"({"type":"answer","request":7,"result":"yes"})");
    EXPECT_EQ(m.kind, BrowserMessageKind::Answer);
    EXPECT_EQ(m.request, 7u);
    EXPECT_EQ(m.answer.result, ui::ModalResult::Yes);
    m = Parse(R"({"type":"answer","request":8,"result":"ok","paths":["/home/a/config/x.qvc"]})");
    EXPECT_EQ(m.answer.paths, (std::vector<std::string>{"/home/a/config/x.qvc"}));
    m = Parse(R"({"type":"listfolder","request":3,"path":"/tmp","patterns":"*.qvc"})");
    EXPECT_EQ(m.kind, BrowserMessageKind::ListFolder);
    EXPECT_EQ(m.path, "/tmp");
    EXPECT_EQ(m.patterns, "*.qvc");
    EXPECT_EQ(Parse(R"({"type":"resync"})").kind, BrowserMessageKind::Resync);
}

TEST(BrowserMessages, RefusesMalformedOrHostileInput) {
    Refusal("");
    Refusal("not json");
    Refusal("[1,2]");
    Refusal(R"({"dialog":1})");
    Refusal(R"({"type":7})");
    Refusal(R"({"type":"format-disk"})");
    Refusal(R"({"type":"click","dialog":"102","control":1023})");
    Refusal(R"({"type":"click","dialog":102})");
    Refusal(R"({"type":"click","dialog":102,"control":1023.5})");
    Refusal(R"({"type":"click","dialog":-1,"control":1023})");
    Refusal(R"({"type":"click","dialog":102,"control":99999999999})");
    Refusal(R"({"type":"dblclick","dialog":1,"control":2,"row":-2,"col":0})");
    Refusal(R"({"type":"check","dialog":1,"control":2,"value":2})");
    Refusal(R"({"type":"check","dialog":1,"control":2,"value":true})");
    Refusal(R"({"type":"select","dialog":1,"control":2,"rows":[1,"2"]})");
    Refusal(R"({"type":"select","dialog":1,"control":2,"rows":5})");
    Refusal(R"({"type":"time","dialog":1,"control":2,"text":"24:00"})");
    Refusal(R"({"type":"time","dialog":1,"control":2,"text":"7:5"})");
    Refusal(R"({"type":"keydown","dialog":1,"key":"F13"})");
    Refusal(R"({"type":"edit","dialog":1,"control":2,"text":"a\u0000b"})");
    Refusal(R"({"type":"answer","request":1,"result":"maybe"})");
    Refusal(R"({"type":"answer","request":0,"result":"ok"})");
    Refusal(R"({"type":"answer","request":1,"result":"ok","paths":[1]})");
    Refusal(R"({"type":"listfolder","request":1})");
    // Size and nesting limits hold before any parsing.
    Refusal(R"({"type":"edit","dialog":1,"control":2,"text":")" + std::string(kMaxBrowserMessageBytes, 'a') +
            "\"}");
    Refusal(std::string(1000, '[') + std::string(1000, ']'));
    Refusal(R"({"type":"click","dialog":1,"control":2,"x":[[[[[1]]]]]})");
    // Brackets inside strings do not count as nesting.
    Parse(R"({"type":"edit","dialog":1,"control":2,"text":"[[[[[[{{{{"})");
}

TEST(BrowserMessages, EncodeThenParseGivesTheSameMessage) {
    BrowserMessage m;
    m.event = ui::MakeEvent(145, 1300, ui::EventKind::DoubleClick);
    m.event.row = 5;
    m.event.column = 1;
    auto back = Parse(EncodeBrowserMessage(m));
    EXPECT_EQ(back.event.row, 5);
    EXPECT_EQ(back.event.column, 1);
    EXPECT_EQ(back.event.dialogId, 145);

    m.event = ui::MakeKeyEvent(102, 0, ui::Key::Escape, false);
    back = Parse(EncodeBrowserMessage(m));
    EXPECT_EQ(back.event.kind, ui::EventKind::KeyUp);
    EXPECT_EQ(back.event.key, ui::Key::Escape);

    BrowserMessage answer;
    answer.kind = BrowserMessageKind::Answer;
    answer.request = 12;
    answer.answer.result = ui::ModalResult::Ok;
    answer.answer.paths = {"/a/b.qvc", "/a/c.qvc"};
    back = Parse(EncodeBrowserMessage(answer));
    EXPECT_EQ(back.request, 12u);
    EXPECT_EQ(back.answer.paths, answer.answer.paths);
}

TEST(UpdateMessages, CarryDialogsControlsModalStackRequestsAndBeeps) {
    ui::DisplayUpdate u;
    u.full = true;
    ui::DialogData dialog;
    dialog.id = 241;
    dialog.kind = ui::DialogKind::Popup;
    dialog.title = "Transfer";
    dialog.hasCaption = true;
    dialog.size = {308, 63};
    dialog.parentId = 102;
    dialog.visible = true;
    u.dialogs.push_back(dialog);

    ui::ControlData lamp;
    lamp.id = 1205;
    lamp.kind = ui::ControlKind::Picture;
    lamp.rect = {18, 9, 5, 5};
    lamp.image = ui::Bitmap(257);
    ui::ControlData list;
    list.id = 1300;
    list.kind = ui::ControlKind::ListView;
    list.columns = {{"Service", 120, ui::Align::Left}, {"LCN", 40, ui::Align::Right}};
    list.imageList = {ui::Bitmap(150)};
    ui::ListRow row;
    row.cells = {{"BBC ONE", 0}, {"1", -1}};
    row.textColor = ui::Color{255, 0, 0};
    row.selected = true;
    list.rows = {row};
    ui::ControlData notice;
    notice.id = 1207;
    notice.text = std::string("LME#1A \xff"); // not UTF-8: replaced, never fatal
    notice.textColor = ui::Color{255, 0, 0};
    u.controls = {{254, lamp}, {145, list}, {254, notice}};
    u.modalStack = std::vector<int>{102, 300};
    ui::Request box;
    box.id = 4;
    box.kind = ui::RequestKind::MessageBox;
    box.text = "Overwrite?";
    box.buttons = ui::MessageBoxButtons::YesNo;
    ui::Request file;
    file.id = 5;
    file.kind = ui::RequestKind::FileDialog;
    file.file.save = true;
    file.file.initialFolder = "/home/u/config";
    file.file.filters = {{"Configuration files (*.qvc)", "*.qvc"}};
    u.requests = {box, file};
    u.closedRequests = {3};
    u.beeps = {{880, 250, 0}};

    const json j = json::parse(EncodeUpdate(u));
    EXPECT_EQ(j["type"], "update");
    EXPECT_TRUE(j["full"]);
    EXPECT_EQ(j["dialogs"][0]["kind"], "popup");
    EXPECT_EQ(j["dialogs"][0]["parent"], 102);
    EXPECT_EQ(j["dialogs"][0]["w"], 308);
    EXPECT_EQ(j["controls"][0]["dialog"], 254);
    EXPECT_EQ(j["controls"][0]["control"]["image"], "bitmap/257");
    EXPECT_EQ(j["controls"][0]["control"]["x"], 18);
    const json& lv = j["controls"][1]["control"];
    EXPECT_EQ(lv["kind"], "listview");
    EXPECT_EQ(lv["columns"][1]["align"], "right");
    EXPECT_EQ(lv["rows"][0]["cells"][0]["image"], 0);
    EXPECT_EQ(lv["rows"][0]["cells"][1], "1");
    EXPECT_EQ(lv["rows"][0]["color"], "#ff0000");
    EXPECT_TRUE(lv["rows"][0]["selected"]);
    EXPECT_EQ(lv["images"][0], "bitmap/150");
    EXPECT_EQ(j["controls"][2]["control"]["color"], "#ff0000");
    EXPECT_EQ(j["controls"][2]["control"]["text"].get<std::string>().rfind("LME#1A ", 0), 0u);
    EXPECT_EQ(j["modal"], json({102, 300}));
    EXPECT_EQ(j["requests"][0]["buttons"], "yesno");
    EXPECT_EQ(j["requests"][1]["kind"], "file");
    EXPECT_EQ(j["requests"][1]["folder"], "/home/u/config");
    EXPECT_EQ(j["requests"][1]["filters"][0]["patterns"], "*.qvc");
    EXPECT_EQ(j["closed"], json({3}));
    EXPECT_EQ(j["beeps"][0]["freq"], 880);
    EXPECT_EQ(j["beeps"][0]["ms"], 250);
}

TEST(UpdateMessages, ListViewCarriesColumnColoursAndTheOpenCellEditor) {
    ui::ControlData list;
    list.id = 1301;
    list.kind = ui::ControlKind::ListView;
    ui::ColumnColors letter;
    letter.column = 1;
    letter.textColor = ui::Color{255, 255, 255};
    letter.backColor = ui::Color{0x70, 0x92, 0xBE};
    list.columnColors = {letter};
    list.cellEdit = ui::CellEdit{3, 27, "12", 4};
    ui::DisplayUpdate u;
    u.controls = {{145, list}};
    json j = json::parse(EncodeUpdate(u));
    const json& lv = j["controls"][0]["control"];
    EXPECT_EQ(lv["columnColors"]["1"]["color"], "#ffffff");
    EXPECT_EQ(lv["columnColors"]["1"]["back"], "#7092be");
    EXPECT_EQ(lv["edit"], json({{"row", 3}, {"col", 27}, {"text", "12"}, {"serial", 4}}));
    // Closed: no editor in the message, so the page removes its box.
    u.controls[0].control.cellEdit.reset();
    j = json::parse(EncodeUpdate(u));
    EXPECT_FALSE(j["controls"][0]["control"].contains("edit"));
}

TEST(UpdateMessages, APlotCarriesItsTimesAndGapsAsNullsWhatEverTheValues) {
    ui::ControlData data0;
    data0.id = 3101;
    data0.kind = ui::ControlKind::Plot;
    ui::Control plot(data0);
    ui::PlotData data;
    data.times = {100, 110, 120, 130};
    data.axes = true;
    data.yMin = 0;
    data.yMax = 100;
    // One value short, and one that is no number: the page must still pair value i with time i.
    data.series = {{"level A", "%", {1, 2, 3}, {70.0, std::nullopt, std::nan("")}}};
    plot.SetPlot(data);
    ui::DisplayUpdate u;
    u.controls = {{300, plot.Data()}};
    const json j = json::parse(EncodeUpdate(u));
    const json& p = j["controls"][0]["control"]["plot"];
    EXPECT_EQ(j["controls"][0]["control"]["kind"], "plot");
    EXPECT_EQ(p["times"], json({100, 110, 120, 130}));
    EXPECT_EQ(p["series"][0]["values"], json({70.0, nullptr, nullptr, nullptr}));
    EXPECT_EQ(p["series"][0]["color"], "#010203");
    EXPECT_EQ(p["series"][0]["unit"], "%");
    EXPECT_EQ(p["yMin"], 0);
    EXPECT_EQ(p["yMax"], 100);
    EXPECT_TRUE(p["axes"]);
    // A plot without a fixed range follows its data: no bounds travel.
    data.yMin.reset();
    data.yMax.reset();
    plot.SetPlot(data);
    u.controls = {{300, plot.Data()}};
    EXPECT_FALSE(json::parse(EncodeUpdate(u))["controls"][0]["control"]["plot"].contains("yMin"));
}

TEST(UpdateMessages, AnEmptyDeltaSaysOnlyWhatItIs) {
    const json j = json::parse(EncodeUpdate(ui::DisplayUpdate{}));
    EXPECT_EQ(j.size(), 2u); // type and full
    EXPECT_FALSE(j.contains("modal"));
}

TEST(UpdateMessages, FolderListingKeepsOrderAndError) {
    ui::FolderListing listing;
    listing.ok = false;
    listing.folder = "/home/u";
    listing.parent = "/home";
    listing.error = "permission denied";
    listing.entries = {{"config", true, 0}, {"a.qvc", false, 2048}};
    const json j = json::parse(EncodeFolderListing(9, listing));
    EXPECT_EQ(j["request"], 9);
    EXPECT_EQ(j["entries"][0]["dir"], true);
    EXPECT_EQ(j["entries"][1]["size"], 2048);
    EXPECT_EQ(j["error"], "permission denied");
    EXPECT_EQ(j["parent"], "/home");
}

TEST(PathRefs, NamesThatAreNotUtf8TravelAsRefsAndComeBackAsTheSameBytes) {
    const std::string latin1 = "caf\xE9.qvc";        // ISO-8859-1 e-acute: not UTF-8
    const std::string utf8 = "caf\xC3\xA9 100%.qvc"; // valid, with a '%'
    const std::string truncated = "x\xE2\x82";       // a sequence cut short
    const std::string overlong = "\xC0\xAF";         // overlong '/': refused by UTF-8
    const std::string surrogate = "\xED\xA0\x80";    // UTF-16 surrogate: not UTF-8
    EXPECT_FALSE(IsValidUtf8(latin1));
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_FALSE(IsValidUtf8(truncated));
    EXPECT_FALSE(IsValidUtf8(overlong));
    EXPECT_FALSE(IsValidUtf8(surrogate));
    EXPECT_EQ(EncodePathRef(latin1), "caf%E9.qvc");
    EXPECT_EQ(EncodePathRef(utf8), "caf\xC3\xA9 100%25.qvc");
    for (const std::string& name : {latin1, utf8, truncated, overlong, surrogate, std::string("%41%zz%4")})
        EXPECT_EQ(DecodePathRef(EncodePathRef(name)), name) << name;
    // What the page sends is a ref: %XX is a byte; a '%' without two hex digits stays.
    EXPECT_EQ(DecodePathRef("a%2fb%4"), "a/b%4");
    EXPECT_EQ(DecodePathRef("%"), "%");
}

TEST(PathRefs, TheListingCarriesRefsOnlyForNamesThatNeedThem) {
    ui::FolderListing listing;
    listing.ok = true;
    listing.folder = "/home/u/d\xE9j\xE0";
    listing.parent = "/home/u";
    listing.entries = {{"r\xE9sum\xE9.qvc", false, 10}, {"plain.qvc", false, 20}};
    const json j = json::parse(EncodeFolderListing(2, listing));
    EXPECT_EQ(j["pathRef"], "/home/u/d%E9j%E0");
    EXPECT_FALSE(j.contains("parentRef"));
    EXPECT_EQ(j["entries"][0]["ref"], "r%E9sum%E9.qvc");
    EXPECT_EQ(j["entries"][0]["name"], "r\xEF\xBF\xBDsum\xEF\xBF\xBD.qvc"); // shown with U+FFFD
    EXPECT_FALSE(j["entries"][1].contains("ref"));
    // The page answers with the ref and the program gets the file's own bytes.
    auto answer =
        Parse(R"({"type":"answer","request":5,"result":"ok","paths":["/home/u/d%E9j%E0/r%E9sum%E9.qvc"]})");
    ASSERT_EQ(answer.answer.paths.size(), 1u);
    EXPECT_EQ(answer.answer.paths[0], "/home/u/d\xE9j\xE0/r\xE9sum\xE9.qvc");
    auto list = Parse(R"({"type":"listfolder","request":6,"path":"/home/u/d%E9j%E0"})");
    EXPECT_EQ(list.path, listing.folder);
    // A '%' the installer typed arrives as %25.
    EXPECT_EQ(
        Parse(R"({"type":"answer","request":7,"result":"ok","paths":["/tmp/100%25.qvc"]})").answer.paths[0],
        "/tmp/100%.qvc");
}

TEST(UpdateMessages, PageTextsTravelWhenTheyChangeAndInEverySnapshot) {
    ui::DisplayUpdate update;
    EXPECT_FALSE(json::parse(EncodeUpdate(update)).contains("texts"));
    const ui::PageTexts texts{"de", {{"cancel", "Abbrechen"}, {"ok", "OK"}}};
    const json j = json::parse(EncodeUpdate(update, &texts));
    EXPECT_EQ(j["texts"]["language"], "de");
    EXPECT_EQ(j["texts"]["texts"]["cancel"], "Abbrechen");
}

} // namespace
} // namespace kaptiv::web
