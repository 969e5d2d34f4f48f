// The play-out controls on the settings page of a streaming tuner over the simulated rack, on
// virtual time: the file list follows the module's USB-key byte, an added entry reaches the
// module with the page's next tick, the first entry and the last removal carry the streaming
// service through the following inputs, and the main window's log button reaches the page.
#include "editor/CSatCofdm.h"
#include "resources/SettingsIds.h"
#include "settings/TunerBlock.h"
#include "tests/unit/app/TempFolder.h"
#include "tests/unit/rack/MainWindowSupport.h"
#include "ui/ScriptedResponder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

using namespace kaptiv;
using namespace kaptiv::resources::page;
using editor::CSatCofdm;

namespace {

constexpr int kRowSat2_0 = 1;
constexpr int kRowTerrestrial = 4;

struct PlayoutPage : ::testing::Test {
    test::MainWindowOnSim sim;
    CSatCofdm page{sim.windows};
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{sim.windows,
                                    [this](const std::string& what) { failures.push_back(what); }};
    app::test::TempFolder folder;

    void Start(mulvane::RackConfig rack = mulvane::DemoRack()) {
        sim.main.SetChainPage(&page);
        for (auto& m : rack.modules) {
            m.answerDelayMinMs = 1;
            m.answerDelayMaxMs = 1;
        }
        sim.Open(std::move(rack));
        sim.RunUntilScans(1);
        ASSERT_EQ(sim.main.LastScan().outcome, rack::ScanOutcome::Connected);
    }
    void Open(int row) {
        sim.main.SelectModule(row);
        ASSERT_TRUE(page.IsChainOpen());
        sim.loop.RunFor(150);
        sim.engine->ClearHistory();
    }
    void Choose(int controlId, int item) {
        page.Item(controlId).SetSelectedItem(item);
        page.OnSelChange(controlId);
    }
    void Times(int start, int end) {
        page.Item(kScheduleStart).SetMinutesOfDay(start);
        page.OnTimeChange(kScheduleStart);
        page.Item(kScheduleEnd).SetMinutesOfDay(end);
        page.OnTimeChange(kScheduleEnd);
    }
    std::optional<settings::TunerValues> LastWritten(int row, uint8_t type) {
        const auto blocks = sim.engine->BlocksWritten(uint8_t(9 + row));
        if (blocks.empty())
            return std::nullopt;
        auto decoded = settings::DecodeTunerBlock(type, blocks.back());
        EXPECT_TRUE(decoded.Ok()) << decoded.error;
        return decoded.values;
    }
    void TearDown() override { EXPECT_TRUE(failures.empty()) << failures.front(); }
};

bool Lists(const settings::TunerValues& v, uint16_t id) {
    const auto& c = v.sections.at(2).services;
    return std::any_of(c.begin(), c.end(),
                       [id](const settings::SelectedService& s) { return s.serviceId == id; });
}

} // namespace

TEST_F(PlayoutPage, UsbKeyByteFillsTheListAndAnAddedStreamEntryIsWrittenByTheTick) {
    Start();
    Open(kRowTerrestrial);
    // The module reports a key: stream entries first (the simulated key lists nothing yet).
    const auto& items = page.Item(kFileList).Items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[0], "udp://@:");
    EXPECT_EQ(items[1], "rtp://@:");
    EXPECT_TRUE(page.Item(kFileUpload).IsEnabled());
    EXPECT_EQ(page.Item(kScheduleList).Data().columns.size(), 4u);
    // The demo tuner plays a stream late in the evening.
    const std::vector<settings::ScheduleEntry> before = page.Tuner().schedule;
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(page.Item(kScheduleList).RowCount(), int(before.size()));
    EXPECT_FALSE(page.Item(kStreamSid).IsEnabled());

    Choose(kFileList, 0);
    Times(20 * 60, 21 * 60 + 30);
    ASSERT_TRUE(page.Item(kScheduleAdd).IsEnabled());
    page.OnClick(kScheduleAdd);
    EXPECT_TRUE(page.InputChanged());
    const auto& schedule = page.Tuner().schedule;
    ASSERT_EQ(schedule.size(), before.size() + 1);
    const auto at = std::find_if(schedule.begin(), schedule.end(), [](const settings::ScheduleEntry& e) {
        return e.fileName == U"udp://@:5004";
    });
    ASSERT_NE(at, schedule.end());
    const int row = int(at - schedule.begin());
    EXPECT_EQ(page.Item(kScheduleList).Cell(row, 1).text, "20:00");
    EXPECT_EQ(page.Item(kScheduleList).Cell(row, 2).text, "21:30");
    EXPECT_EQ(page.Item(kScheduleList).Cell(row, 3).text, "udp://@:5004");

    sim.loop.RunFor(1100);
    const auto written = LastWritten(kRowTerrestrial, 12);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->schedule, schedule);
    EXPECT_EQ(written->schedule[size_t(row)].start, 20u * 60);
    EXPECT_EQ(written->schedule[size_t(row)].end, 21u * 60 + 30);
}

TEST_F(PlayoutPage, PortFieldKeepsOnlyDigitsWhileTypingAndTheEntryTakesWhatItShows) {
    Start();
    sim.main.Show(true); // the page takes the browser's events only while its window shows
    Open(kRowTerrestrial);
    Choose(kFileList, 0);
    ASSERT_TRUE(page.Item(kStreamPort).IsEnabled());
    const auto type = [this](const std::string& text) {
        ui::UiEvent event = ui::MakeEvent(kDialogSettings, kStreamPort, ui::EventKind::EditChange);
        event.text = text;
        EXPECT_EQ(sim.windows.DeliverEvent(event), ui::DeliverResult::Delivered);
        return page.Item(kStreamPort).Text();
    };
    EXPECT_EQ(type("50a4"), "0");
    EXPECT_EQ(type("-1"), "0");
    EXPECT_EQ(type("5 004"), "0");
    EXPECT_EQ(type(""), "0");
    EXPECT_EQ(type("6000"), "6000");
    // The port is not part of the module's settings: typing it marks nothing for the tick.
    EXPECT_FALSE(page.InputChanged());

    Times(20 * 60, 21 * 60);
    ASSERT_TRUE(page.Item(kScheduleAdd).IsEnabled());
    page.OnClick(kScheduleAdd);
    const auto& schedule = page.Tuner().schedule;
    EXPECT_TRUE(std::any_of(schedule.begin(), schedule.end(),
                            [](const settings::ScheduleEntry& e) { return e.fileName == U"udp://@:6000"; }));
}

TEST_F(PlayoutPage, FirstEntryAndLastRemovalCarryTheStreamingServiceThroughTheFollowingInputs) {
    // Three twin tuners one after the other before a modulator: the second passes the first's
    // stream on; the third is the chain input of the output and keeps its own list.
    mulvane::RackConfig demo = mulvane::DemoRack();
    mulvane::RackConfig rack;
    rack.modules = {demo.modules[0], demo.modules[1], demo.modules[1], demo.modules[1], demo.modules[3]};
    for (size_t i = 1; i < rack.modules.size(); ++i)
        rack.modules[i].address = uint8_t(9 + i);
    Start(rack);
    Open(kRowSat2_0);
    // Clear the demo schedule first: the streaming service id can be changed only then.
    ui::Control& list = page.Item(kScheduleList);
    for (int r = 0; r < list.RowCount(); ++r)
        list.SelectRow(r, true);
    page.OnClick(kScheduleList);
    page.OnClick(kScheduleRemove);
    ASSERT_TRUE(page.Tuner().schedule.empty());
    ASSERT_TRUE(page.Item(kStreamSid).IsEnabled());
    page.Item(kStreamSid).SetText("4321");
    page.OnEditChange(kStreamSid);
    sim.loop.RunFor(1100);
    sim.engine->ClearHistory();

    // The demo key lists no files on type 7 (no stream entries): nothing to schedule yet. Give the
    // list a file the way a refill would.
    page.Playout().Operations().RefillFileList(true);
    if (page.Item(kFileList).Items().empty())
        page.Item(kFileList).SetItems({"clip.ts"});
    Choose(kFileList, 0);
    Times(8 * 60, 9 * 60);
    page.OnClick(kScheduleAdd);
    Times(9 * 60, 10 * 60);
    page.OnClick(kScheduleAdd);
    sim.loop.RunFor(1100);
    const auto second = LastWritten(2, 7);
    ASSERT_TRUE(second);
    EXPECT_TRUE(Lists(*second, 4321));
    EXPECT_TRUE(sim.engine->BlocksWritten(uint8_t(9 + 3)).empty());

    // Removing one of two entries leaves the lists alone; removing the last takes the id out.
    sim.engine->ClearHistory();
    page.Item(kScheduleList).SelectRow(0, true);
    page.OnClick(kScheduleList);
    page.OnClick(kScheduleRemove);
    sim.loop.RunFor(1100);
    EXPECT_TRUE(sim.engine->BlocksWritten(uint8_t(9 + 2)).empty());
    page.Item(kScheduleList).SelectRow(0, true);
    page.OnClick(kScheduleList);
    page.OnClick(kScheduleRemove);
    sim.loop.RunFor(1100);
    const auto after = LastWritten(2, 7);
    ASSERT_TRUE(after);
    EXPECT_FALSE(Lists(*after, 4321));
    EXPECT_TRUE(page.Item(kStreamSid).IsEnabled());
}

TEST_F(PlayoutPage, ReplacingAScheduledClipOnTheSimulatedKey) {
    Start();
    const uint8_t address = uint8_t(9 + kRowTerrestrial);
    sim.engine->PutUsbKeyFile(address, "clip.ts", std::vector<uint8_t>(188, 0x47));
    // The key is plugged out and in again: the page refills its list from the status byte.
    Open(kRowTerrestrial);
    sim.engine->SetUsbKeyPresent(address, false);
    sim.loop.RunFor(1000);
    sim.engine->SetUsbKeyPresent(address, true);
    sim.loop.RunFor(1000);
    const auto& items = page.Item(kFileList).Items();
    const auto clip = std::find(items.begin(), items.end(), "clip.ts");
    ASSERT_NE(clip, items.end());
    Choose(kFileList, int(clip - items.begin()));
    Times(6 * 60, 7 * 60);
    page.OnClick(kScheduleAdd);
    sim.loop.RunFor(1100);
    sim.engine->ClearHistory();

    std::vector<uint8_t> content(5000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = uint8_t(i * 13);
    const std::string local = (folder.Path() / "clip.ts").string();
    std::ofstream(local, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), long(content.size()));
    responder.AnswerFileDialog({local});
    page.OnClick(kFileUpload);

    // The key holds the new clip under its own name, and no temporary file.
    std::optional<std::vector<uint8_t>> stored;
    for (const auto& [name, bytes] : sim.engine->UsbKeyFiles(address)) {
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        if (name == "clip.ts")
            stored = bytes;
    }
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, content);
    // The module was told twice: the entry renamed while the file was replaced, then back.
    const auto blocks = sim.engine->BlocksWritten(address);
    ASSERT_GE(blocks.size(), 2u);
    std::vector<std::u32string> names;
    for (const auto& block : blocks) {
        const auto decoded = settings::DecodeTunerBlock(12, block);
        ASSERT_TRUE(decoded.Ok());
        for (const auto& e : decoded.values.schedule)
            if (e.start == 6u * 60)
                names.push_back(e.fileName);
    }
    EXPECT_EQ(names, (std::vector<std::u32string>{U"clip.ts.upt", U"clip.ts"}));

    // The second block write fails: the partial file goes, the old clip stays, "ERROR !" is shown.
    sim.engine->GetFaults().FailNthBlockWrite(address, 2);
    responder.AnswerFileDialog({local});
    page.OnClick(kFileUpload);
    bool partial = false;
    for (const auto& [name, bytes] : sim.engine->UsbKeyFiles(address))
        partial |= name == "clip.ts.tmp";
    EXPECT_FALSE(partial);
    EXPECT_EQ(page.Item(kPageMessage).Text(), "ERROR !");
    EXPECT_EQ(page.Playout().Operations().Messages().back(), "ERROR !");
    EXPECT_EQ(page.Tuner().schedule.front().fileName, U"clip.ts");
}

TEST_F(PlayoutPage, MainWindowLogButtonFetchesTheOpenTunersLog) {
    sim.main.SetAdvancedMode(true);
    sim.main.SetModuleLogFetch([this] { page.FetchModuleLog(); });
    Start();
    sim.main.Image().applicationFolder = folder.Path().string();
    Open(kRowTerrestrial);
    ASSERT_TRUE(sim.main.Item(rack::CQuorvelDlg::kLogButton).IsVisible());
    responder.AnswerMessageBox(ui::ModalResult::Ok,
                               "Logs saved into " + folder.Path().string() + "/logs/LOG_M4_");
    sim.main.OnClick(rack::CQuorvelDlg::kLogButton);
    EXPECT_EQ(responder.Unused(), 0u);
    // The joined log of the module, as the simulated module keeps it.
    const auto logs =
        std::vector<std::filesystem::path>(std::filesystem::directory_iterator(folder.Path() / "logs"), {});
    ASSERT_EQ(logs.size(), 1u);
    std::ifstream in(logs[0], std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_FALSE(text.empty());
    const std::string current = sim.engine->ModuleLog(uint8_t(9 + kRowTerrestrial));
    // What the module logged after the fetch (logging on again) is all the fetched text lacks.
    EXPECT_EQ(current.rfind(text, 0), 0u) << "fetched:\n" << text << "\nmodule:\n" << current;
    EXPECT_EQ(sim.engine->LogMode(uint8_t(9 + kRowTerrestrial)), 0); // logging on again
}

// The ".upt" name would take the tuner's block past its 1024 bytes: the page cannot tell the
// module to stop playing the file, so the file on the key is not touched and the page says so.
TEST_F(PlayoutPage, AnUploadWhoseScheduleCannotBeWrittenLeavesTheKeyAlone) {
    Start();
    const uint8_t address = uint8_t(9 + kRowTerrestrial);
    Open(kRowTerrestrial);
    const auto fits = [&](const std::u32string& name) {
        settings::TunerValues v = page.Tuner();
        v.schedule.push_back({0, 0, name});
        return settings::EncodeTunerBlock(v, {}).Ok();
    };
    const auto u32 = [](const std::string& s) { return std::u32string(s.begin(), s.end()); };
    const auto schedule = [&](const std::string& name, int start) {
        sim.engine->PutUsbKeyFile(address, name, std::vector<uint8_t>(188, 0x47));
        page.Playout().Operations().RefillFileList(true);
        const auto& items = page.Item(kFileList).Items();
        const auto at = std::find(items.begin(), items.end(), name);
        ASSERT_NE(at, items.end()) << name;
        Choose(kFileList, int(at - items.begin()));
        Times(start, start + 30);
        ASSERT_TRUE(page.Item(kScheduleAdd).IsEnabled()) << name;
        page.OnClick(kScheduleAdd);
        sim.loop.RunFor(1100);
    };
    // Long names fill the block until one more entry would no longer fit with ".upt".
    for (int i = 0; i < 8; ++i) {
        const std::string filler = "filler" + std::to_string(i) + std::string(100, 'x') + ".ts";
        if (!fits(u32(filler + std::string(40, 'y'))))
            break;
        schedule(filler, i * 60);
    }
    std::string last;
    for (size_t length = 1; length <= 110 && last.empty(); ++length) {
        const std::string name = std::string(length, 'z') + ".ts";
        if (fits(u32(name)) && !fits(u32(name + ".upt")))
            last = name;
    }
    ASSERT_FALSE(last.empty()) << "no name reaches the limit";
    schedule(last, 20 * 60);
    const auto scheduled = [&](const std::string& name) {
        const auto& entries = page.Tuner().schedule;
        return std::any_of(entries.begin(), entries.end(),
                           [&](const settings::ScheduleEntry& e) { return e.fileName == u32(name); });
    };
    ASSERT_TRUE(scheduled(last));
    sim.engine->ClearHistory();

    const std::string local = (folder.Path() / last).string();
    std::ofstream(local, std::ios::binary) << std::string(3000, 'n');
    responder.AnswerFileDialog({local});
    page.OnClick(kFileUpload);

    std::map<std::string, std::vector<uint8_t>> key;
    for (const auto& [name, bytes] : sim.engine->UsbKeyFiles(address))
        key[name] = bytes;
    EXPECT_EQ(key.at(last), std::vector<uint8_t>(188, 0x47)) << "the old file stays";
    EXPECT_FALSE(key.contains(last + ".tmp"));
    for (const std::string& text : sim.engine->ExecutedTexts(address))
        EXPECT_EQ(text.rfind("mv ", 0), std::string::npos) << text;
    EXPECT_TRUE(sim.engine->BlocksWritten(address).empty()) << "the module keeps its schedule";
    EXPECT_TRUE(scheduled(last)) << "the page keeps the name the module has";
    EXPECT_FALSE(scheduled(last + ".upt"));
    EXPECT_NE(page.Playout().Operations().Messages().end(),
              std::find_if(page.Playout().Operations().Messages().begin(),
                           page.Playout().Operations().Messages().end(), [](const std::string& m) {
                               return m.find("could not be written") != std::string::npos;
                           }));
}
