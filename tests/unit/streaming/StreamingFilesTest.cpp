// The file, log and schedule operations of a streaming tuner, headless on virtual time, against
// a scripted USB key: what goes to the module and in which order, what the installer sees.
#include "streaming/StreamingFiles.h"

#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "rack/CDetachInfo.h"
#include "resources/Dialogs.h"
#include "resources/SettingsIds.h"
#include "tests/unit/app/TempFolder.h"
#include "tests/unit/streaming/StreamingTestSupport.h"
#include "ui/Dialog.h"
#include "ui/ScriptedResponder.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::streaming;
using namespace kaptiv::resources::page;
namespace fs = std::filesystem;

namespace {

constexpr uint8_t kSat2_0 = 7, kSat2 = 10, kTerrestrial = 12;

PlayoutControls Ids() {
    PlayoutControls c;
    c.fileList = kFileList;
    c.upload = kFileUpload;
    c.remove = kFileDelete;
    c.port = kStreamPort;
    c.start = kScheduleStart;
    c.end = kScheduleEnd;
    c.add = kScheduleAdd;
    c.removeEntries = kScheduleRemove;
    c.scheduleList = kScheduleList;
    return c;
}

// The settings page's controls; its timer stands for the page's status poll.
struct TestPage : ui::Dialog {
    int ticks = 0;
    explicit TestPage(ui::WindowSystem& w) : ui::Dialog(w, resources::DialogTemplateById(kDialogSettings)) {}
    void OnTimer(int) override { ++ticks; }
};

struct Files : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    TestPage page{windows};
    rack::CDetachInfo transfer{windows};
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{windows, [this](const std::string& what) { failures.push_back(what); }};
    std::vector<std::string> log;
    test::FakeKey key{log};
    test::FakeHost host{log};
    StreamingFiles ops{page, Ids()};
    app::test::TempFolder folder;

    void SetUp() override {
        page.Create();
        transfer.Create();
        ops.SetTransferWindow(&transfer);
    }
    void TearDown() override { EXPECT_TRUE(failures.empty()) << failures.front(); }

    void Open(uint8_t type, uint8_t address = 12) {
        ops.Open(host, key, type, address, folder.Path().string());
        ops.RefillFileList(true);
        log.clear();
    }
    std::string Local(const std::string& name, size_t size) {
        const fs::path path = folder.Path() / name;
        std::ofstream out(path, std::ios::binary);
        for (size_t i = 0; i < size; ++i)
            out.put(char(i * 7 + 3));
        return path.string();
    }
    static std::vector<uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Select(int position) {
        page.Item(kFileList).SetSelectedItem(position);
        ops.FileSelectionChanged();
    }
    const std::vector<std::string>& Items() { return page.Item(kFileList).Items(); }
    bool Enabled(int id) { return page.Item(id).IsEnabled(); }
    size_t Count(const std::string& prefix) {
        return size_t(std::count_if(log.begin(), log.end(),
                                    [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }
    size_t IndexOf(const std::string& entry) {
        return size_t(std::find(log.begin(), log.end(), entry) - log.begin());
    }
    void Upload(std::vector<std::string> paths) {
        responder.AnswerFileDialog(std::move(paths));
        ops.UploadFiles();
    }
};

} // namespace

TEST_F(Files, ListHoldsTheStreamEntriesThenTheKeysNames) {
    key.files["/mnt/a.ts"] = {1};
    key.files["/mnt/b.ts"] = {2};
    Open(kSat2);
    EXPECT_EQ(Items(), (std::vector<std::string>{"udp://@:", "rtp://@:", "a.ts", "b.ts"}));
    EXPECT_EQ(page.Item(kFileList).SelectedItem(), -1);
    EXPECT_TRUE(Enabled(kFileUpload));
    EXPECT_FALSE(Enabled(kFileDelete));
    // Nothing selected: the port field offers 5004 and takes the focus.
    EXPECT_EQ(page.Item(kStreamPort).Text(), "5004");
    EXPECT_TRUE(Enabled(kStreamPort));
    EXPECT_EQ(windows.Focus().controlId, kStreamPort);
    Select(1);
    EXPECT_FALSE(Enabled(kFileDelete));
    Select(2);
    EXPECT_TRUE(Enabled(kFileDelete));
    EXPECT_EQ(page.Item(kStreamPort).Text(), "0");
    EXPECT_FALSE(Enabled(kStreamPort));
    // The key is pulled out: no name list request, no upload.
    ops.RefillFileList(false);
    EXPECT_EQ(Items(), (std::vector<std::string>{"udp://@:", "rtp://@:"}));
    EXPECT_FALSE(Enabled(kFileUpload));
    EXPECT_EQ(Count("names"), 0u);
}

TEST_F(Files, EmptyKeysAndTheFirstFilesOfType7) {
    Open(kTerrestrial);
    EXPECT_EQ(Items(), (std::vector<std::string>{"udp://@:", "rtp://@:"}));
    EXPECT_FALSE(Enabled(kFileDelete));
    Open(kSat2_0);
    EXPECT_TRUE(Items().empty());
    // Type 7 lists no stream entries: its first two files can be deleted too.
    key.files["/mnt/a.ts"] = {1};
    key.files["/mnt/b.ts"] = {2};
    key.files["/mnt/c.ts"] = {3};
    Open(kSat2_0);
    EXPECT_EQ(Items(), (std::vector<std::string>{"a.ts", "b.ts", "c.ts"}));
    Select(0);
    EXPECT_TRUE(Enabled(kFileDelete));
    EXPECT_FALSE(Enabled(kStreamPort));
    ops.DeleteFile();
    EXPECT_EQ(log, (std::vector<std::string>{"exec rm -f \"/mnt/a.ts\"", "exec sync", "names"}));
    EXPECT_EQ(Items(), (std::vector<std::string>{"b.ts", "c.ts"}));
}

TEST_F(Files, ReplacingAScheduledClipRenamesItsEntriesWhileTheFileIsMoved) {
    key.gateway = true;
    key.files["/mnt/clip.ts"] = {9, 9, 9};
    AddEntry(host.schedule, 600, 660, U"clip.ts");
    AddEntry(host.schedule, 700, 760, U"other.ts");
    Open(kSat2);
    const std::string local = Local("clip.ts", 3000);
    Upload({local});

    EXPECT_EQ(key.files.at("/mnt/clip.ts"), Bytes(local));
    EXPECT_FALSE(key.files.contains("/mnt/clip.ts.tmp"));
    const std::vector<std::string> expected{"create /mnt/clip.ts.tmp",
                                            "write 1350",
                                            "write 1350",
                                            "write 300",
                                            "close",
                                            "write settings",
                                            "exec rm -f \"/mnt/clip.ts\"",
                                            "exec mv \"/mnt/clip.ts.tmp\" \"/mnt/clip.ts\"",
                                            "exec sync",
                                            "write settings",
                                            "names"};
    EXPECT_EQ(log, expected);
    ASSERT_EQ(host.written.size(), 2u);
    EXPECT_EQ(host.written[0][0].fileName, U"clip.ts.upt");
    EXPECT_EQ(host.written[0][1].fileName, U"other.ts");
    EXPECT_EQ(host.written[1][0].fileName, U"clip.ts");
    // The transfer window showed the path and how to cancel, and reached the whole length.
    ASSERT_FALSE(ops.Messages().empty());
    EXPECT_EQ(ops.Messages()[0], local + "\r\nPress ESC. to cancel");
    EXPECT_EQ(transfer.Item(rack::CDetachInfo::kPercent).Text(), "100.00%");
    EXPECT_FALSE(transfer.IsVisible());
    EXPECT_TRUE(windows.Beeps().empty());
}

TEST_F(Files, SerialBlocksAre256BytesAndAnUnscheduledFileWritesNoSettings) {
    Open(kSat2);
    const std::string local = Local("new.ts", 600);
    Upload({local});
    EXPECT_EQ(
        log, (std::vector<std::string>{"create /mnt/new.ts.tmp", "write 256", "write 256", "write 88",
                                       "close", "exec rm -f \"/mnt/new.ts\"",
                                       "exec mv \"/mnt/new.ts.tmp\" \"/mnt/new.ts\"", "exec sync", "names"}));
    EXPECT_EQ(Items().back(), "new.ts");
}

TEST_F(Files, SecondOfThreeRefusedLeavesTheFirstAndNeverTriesTheThird) {
    key.failCreate = 1;
    Open(kSat2);
    Upload({Local("one.ts", 10), Local("two.ts", 10), Local("three.ts", 10)});
    EXPECT_TRUE(key.files.contains("/mnt/one.ts"));
    EXPECT_FALSE(key.files.contains("/mnt/two.ts.tmp"));
    EXPECT_EQ(Count("create /mnt/three"), 0u);
    const auto& m = ops.Messages();
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[m.size() - 2], "FILE WRITE ERROR");
    EXPECT_EQ(m.back(), "ERROR !");
    ASSERT_EQ(windows.Beeps().size(), 2u);
    EXPECT_EQ(windows.Beeps()[0].frequencyHz, 880);
    EXPECT_EQ(windows.Beeps()[0].durationMs, 100);
    EXPECT_EQ(windows.Beeps()[1].durationMs, 250);
}

TEST_F(Files, EscapeBetweenBlocksRemovesThePartialFile) {
    key.files["/mnt/clip.ts"] = {1, 2, 3};
    AddEntry(host.schedule, 600, 660, U"clip.ts");
    Open(kSat2);
    key.onWrite = [this](int block) {
        if (block == 1) // the installer presses Escape while the second block is on its way
            loop.Post([this] {
                ui::UiEvent e = ui::MakeEvent(0, 0, ui::EventKind::KeyDown);
                e.key = ui::Key::Escape;
                windows.DeliverEvent(e);
            });
    };
    Upload({Local("clip.ts", 2000)});
    EXPECT_EQ(Count("write "), 2u);
    EXPECT_FALSE(key.files.contains("/mnt/clip.ts.tmp"));
    EXPECT_EQ(key.files.at("/mnt/clip.ts"), (std::vector<uint8_t>{1, 2, 3})); // the old copy stays
    EXPECT_EQ(log.back(), "exec rm -f \"/mnt/clip.ts.tmp\"");
    EXPECT_TRUE(host.written.empty());
    EXPECT_EQ(host.schedule[0].fileName, U"clip.ts");
    EXPECT_EQ(ops.Messages().back(), "ERROR !");
}

TEST_F(Files, ClosingThePageStopsTheTransferLikeEscape) {
    Open(kSat2);
    key.onWrite = [this](int block) {
        if (block == 0) // the installer selects another module while the upload runs
            loop.Post([this] { ops.Close(); });
    };
    Upload({Local("clip.ts", 2000), Local("next.ts", 10)});
    EXPECT_EQ(Count("write "), 1u);
    EXPECT_EQ(log.back(), "exec rm -f \"/mnt/clip.ts.tmp\"");
    EXPECT_TRUE(key.files.empty());
    EXPECT_FALSE(ops.Busy());
    EXPECT_TRUE(host.pageMessages.empty()); // the page has gone: nothing is written on it
}

TEST_F(Files, FailedWriteOrMoveStopsWithTheError) {
    key.failWriteBlock = 0;
    Open(kSat2);
    Upload({Local("a.ts", 300), Local("b.ts", 10)});
    EXPECT_FALSE(key.files.contains("/mnt/a.ts.tmp"));
    EXPECT_EQ(Count("create /mnt/b"), 0u);
    EXPECT_EQ(ops.Messages().back(), "ERROR !");

    // The move fails: the upload stays under its temporary name, its entries keep ".upt".
    key.failWriteBlock = -1;
    key.commands = 0;
    key.failCommand = 1;
    AddEntry(host.schedule, 600, 660, U"a.ts");
    Upload({Local("a.ts", 300)});
    EXPECT_TRUE(key.files.contains("/mnt/a.ts.tmp"));
    EXPECT_EQ(host.schedule[0].fileName, U"a.ts.upt");
    EXPECT_EQ(ops.Messages().back(), "ERROR !");
}

TEST_F(Files, ThePagesPollRunsBetweenBlocks) {
    Open(kSat2);
    page.SetTimer(1, 1000);
    key.onWrite = [this](int) { clock.Advance(400); };
    Upload({Local("big.ts", 256 * 10)});
    EXPECT_GE(page.ticks, 3);
    EXPECT_TRUE(key.files.contains("/mnt/big.ts"));
}

TEST_F(Files, NamesQuotingCannotCarryAreRefusedOnUploadWithTheirNameAndNothingIsSent) {
    Open(kSat2_0);
    for (const std::string& name : std::vector<std::string>{"a\"b.ts", "a\nb.ts", "a\x01b.ts",
                                                            "a\x7F"
                                                            "b.ts",
                                                            std::string(117, 'c') + ".ts"}) {
        log.clear();
        const std::string local = Local(name, 10);
        Upload({local, Local("after.ts", 10)});
        EXPECT_TRUE(log.empty()) << name << ": " << log.front();
        EXPECT_NE(ops.Messages().back().find(name), std::string::npos) << ops.Messages().back();
        EXPECT_EQ(windows.Beeps().back().frequencyHz, 440);
    }
    EXPECT_FALSE(key.files.contains("/mnt/after.ts"));
}

// Names from the module are not trusted: shown escaped, listed and marked, never sent.
TEST_F(Files, AFileListOfUntrustedNames) {
    key.files["/mnt/../x"] = {1};
    key.files["/mnt/a\x1B[2Jb"] = {2};
    key.files["/mnt/\xE9t\xE9 \xC0.ts"] = {3};
    key.files["/mnt/" + std::string(243, 'n')] = {4};
    key.files["/mnt/q\"uote.ts"] = {5};
    AddEntry(host.schedule, 60, 120, U"a\x1B[2Jb");
    Open(kSat2);
    const std::string mark = "  [name not usable]";
    EXPECT_EQ(Items(), (std::vector<std::string>{"udp://@:", "rtp://@:", "../x" + mark, "a\\x1B[2Jb" + mark,
                                                 std::string(243, 'n') + mark, "q\"uote.ts" + mark,
                                                 "\xC3\xA9t\xC3\xA9 \xC3\x80.ts"}));
    // The schedule shows the escape too.
    EXPECT_EQ(page.Item(kScheduleList).Cell(0, 3).text, "a\\x1B[2Jb");
    page.Item(kScheduleStart).SetMinutesOfDay(600);
    page.Item(kScheduleEnd).SetMinutesOfDay(700);
    for (int p = 2; p <= 5; ++p) {
        Select(p);
        EXPECT_FALSE(Enabled(kFileDelete)) << p;
        EXPECT_FALSE(Enabled(kScheduleAdd)) << p;
        ops.DeleteFile();
        ops.AddScheduleEntry();
    }
    EXPECT_EQ(Count("exec"), 0u);
    EXPECT_EQ(host.schedule.size(), 1u);
    EXPECT_EQ(host.pageMessages.size(), 4u); // each refusal names the file
    EXPECT_NE(host.pageMessages[0].find("../x"), std::string::npos) << host.pageMessages[0];
    // A Latin-1 name is text: it is deleted under its own bytes.
    Select(6);
    EXPECT_TRUE(Enabled(kFileDelete));
    ops.DeleteFile();
    EXPECT_EQ(log[log.size() - 3], "exec rm -f \"/mnt/\xE9t\xE9 \xC0.ts\"");
    EXPECT_FALSE(key.files.contains("/mnt/\xE9t\xE9 \xC0.ts"));
    EXPECT_EQ(key.files.size(), 4u);
}

TEST_F(Files, APressAndReleaseOfEscapeWithinOneBlockStopTheUpload) {
    Open(kSat2);
    key.onWrite = [this](int block) {
        if (block != 1)
            return;
        // Both arrive while the second block is on its way: the key is up again when the
        // upload looks.
        for (const auto kind : {ui::EventKind::KeyDown, ui::EventKind::KeyUp}) {
            ui::UiEvent e = ui::MakeEvent(0, 0, kind);
            e.key = ui::Key::Escape;
            windows.DeliverEvent(e);
        }
    };
    Upload({Local("clip.ts", 2000)});
    EXPECT_EQ(Count("write "), 2u);
    EXPECT_TRUE(key.files.empty());
    EXPECT_EQ(ops.Messages().back(), "ERROR !");
    // A press before the transfer started does not stop the next one.
    key.onWrite = nullptr;
    Upload({Local("next.ts", 600)});
    EXPECT_TRUE(key.files.contains("/mnt/next.ts"));
}

TEST_F(Files, AScheduleWriteFailureLeavesTheKeyAsItWas) {
    key.gateway = true;
    key.files["/mnt/clip.ts"] = {9, 9, 9};
    key.files["/mnt/other.ts"] = {8};
    const auto before = key.files;
    AddEntry(host.schedule, 600, 660, U"clip.ts");
    host.failWrites = true; // the ".upt" name would take the block past its limit, say
    Open(kSat2);
    Upload({Local("clip.ts", 3000), Local("second.ts", 10)});
    EXPECT_EQ(key.files, before);
    EXPECT_EQ(Count("exec rm -f \"/mnt/clip.ts\""), 0u);
    EXPECT_EQ(Count("exec mv"), 0u);
    EXPECT_EQ(log.back(), "exec rm -f \"/mnt/clip.ts.tmp\"");
    EXPECT_EQ(Count("create /mnt/second"), 0u);
    ASSERT_EQ(host.schedule.size(), 1u);
    EXPECT_EQ(host.schedule[0].fileName, U"clip.ts");
    EXPECT_EQ(page.Item(kScheduleList).Cell(0, 3).text, "clip.ts");
    ASSERT_FALSE(host.pageMessages.empty());
    EXPECT_NE(host.pageMessages.front().find("could not be written"), std::string::npos);
    EXPECT_NE(host.pageMessages.front().find("clip.ts"), std::string::npos);
    EXPECT_EQ(ops.Messages().back(), "ERROR !");

    // A delete whose schedule cannot be written leaves the file and the entries.
    log.clear();
    Select(2);
    ops.DeleteFile();
    EXPECT_EQ(key.files, before);
    EXPECT_EQ(Count("exec"), 0u);
    ASSERT_EQ(host.schedule.size(), 1u);
    EXPECT_TRUE(host.passThrough.back()) << "the pass-through taken away goes back";
    EXPECT_NE(host.pageMessages.back().find("not deleted"), std::string::npos);
}

TEST_F(Files, DeleteRemovesTheFilesEntriesAndWritesThemFirst) {
    key.files["/mnt/a.ts"] = {1};
    key.files["/mnt/b.ts"] = {2};
    AddEntry(host.schedule, 60, 120, U"a.ts");
    AddEntry(host.schedule, 200, 300, U"b.ts");
    AddEntry(host.schedule, 400, 500, U"a.ts");
    Open(kSat2);
    Select(2);
    ops.DeleteFile();
    EXPECT_EQ(log,
              (std::vector<std::string>{"write settings", "exec rm -f \"/mnt/a.ts\"", "exec sync", "names"}));
    ASSERT_EQ(host.schedule.size(), 1u);
    EXPECT_EQ(host.schedule[0].fileName, U"b.ts");
    EXPECT_EQ(page.Item(kScheduleList).RowCount(), 1);
    EXPECT_TRUE(host.passThrough.empty());
    // Deleting the file of the last entries ends the pass-through of the streaming service.
    Select(2);
    ops.DeleteFile();
    EXPECT_TRUE(host.schedule.empty());
    EXPECT_EQ(host.passThrough, (std::vector<bool>{false}));
}

TEST_F(Files, LogIsFetchedIntoANewLogsFolderUnderItsDatedName) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_hour = 23;
    t.tm_min = 38;
    t.tm_sec = 45;
    clock.SetLocalTime(t);
    key.files["/logFile.0"] = std::vector<uint8_t>(500, 'o');
    key.logText = std::vector<uint8_t>(350, 'n');
    Open(kSat2, 12);
    const fs::path expected = folder.Path() / "logs" / "LOG_M3_20261206_233845.txt";
    responder.AnswerMessageBox(ui::ModalResult::Ok, "Logs saved into " + expected.string());
    ops.FetchLog();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "mode 1", "exec touch /logFile.0", "exec cat /logFile.0 /logFile >/tmp/log.txt",
                       "open /tmp/log.txt", "read 400", "read 400", "read 50", "close", "mode 2", "mode 0"}));
    ASSERT_TRUE(fs::exists(expected));
    const auto bytes = Bytes(expected.string());
    ASSERT_EQ(bytes.size(), 850u);
    EXPECT_EQ(bytes.front(), 'o');
    EXPECT_EQ(bytes.back(), 'n');
    EXPECT_EQ(responder.Unused(), 0u);
}

TEST_F(Files, AFailedLogDownloadSaysSoAndLeavesNoFile) {
    key.failCommand = 1; // the join fails: there is no /tmp/log.txt to open
    Open(kSat2, 12);
    ops.FetchLog();
    EXPECT_EQ(log.back(), "mode 0");
    EXPECT_EQ(Count("read"), 0u);
    ASSERT_FALSE(host.pageMessages.empty());
    EXPECT_NE(host.pageMessages.back().find("could not be fetched"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(folder.Path() / "logs"));
    EXPECT_TRUE(responder.Asked().empty());
    // A module that announces more than it gives: the half log is not kept either.
    struct ShortKey : test::FakeKey {
        using FakeKey::FakeKey;
        int64_t OpenByName(std::string_view path) override { return FakeKey::OpenByName(path) + 400; }
    } shortKey{log};
    shortKey.files["/logFile.0"] = std::vector<uint8_t>(500, 'x');
    ops.Open(host, shortKey, kSat2, 12, folder.Path().string());
    log.clear();
    ops.FetchLog();
    EXPECT_EQ(Count("read"), 2u);
    EXPECT_TRUE(fs::is_empty(folder.Path() / "logs"));
    EXPECT_TRUE(responder.Asked().empty());
    EXPECT_EQ(log.back(), "mode 0");
    ops.Close();
}

TEST_F(Files, ALogSizeFrom2To31IsNotPositiveAndReadsNothing) {
    key.files["/logFile.0"] = std::vector<uint8_t>(500, 'x');
    key.reportedSize = 0xFFFFFFF0;
    Open(kSat2, 12);
    ops.FetchLog();
    EXPECT_EQ(Count("read"), 0u);
    EXPECT_TRUE(fs::is_empty(folder.Path() / "logs"));
    EXPECT_NE(host.pageMessages.back().find("could not be fetched"), std::string::npos);
    key.reportedSize = 0x80000000;
    ops.FetchLog();
    EXPECT_EQ(Count("read"), 0u);
}

TEST_F(Files, EscapeAndClosingThePageStopALogDownloadAndLeaveNoFile) {
    key.files["/logFile.0"] = std::vector<uint8_t>(4000, 'x');
    Open(kSat2, 12);
    key.onRead = [this](int block) {
        if (block != 2)
            return;
        for (const auto kind : {ui::EventKind::KeyDown, ui::EventKind::KeyUp}) {
            ui::UiEvent e = ui::MakeEvent(0, 0, kind);
            e.key = ui::Key::Escape;
            windows.DeliverEvent(e);
        }
    };
    ops.FetchLog();
    EXPECT_EQ(Count("read"), 3u);
    EXPECT_EQ(log.back(), "mode 0");
    EXPECT_TRUE(fs::is_empty(folder.Path() / "logs"));
    EXPECT_TRUE(responder.Asked().empty());

    log.clear();
    key.reads = 0;
    key.onRead = [this](int block) {
        if (block == 1)
            loop.Post([this] { ops.Close(); });
    };
    ops.FetchLog();
    EXPECT_EQ(Count("read"), 2u);
    EXPECT_TRUE(fs::is_empty(folder.Path() / "logs"));
    EXPECT_TRUE(responder.Asked().empty());
}

TEST_F(Files, LogControlButtons) {
    Open(kSat2);
    ops.LogOn();
    ops.LogOff();
    EXPECT_EQ(log, (std::vector<std::string>{"mode 0", "mode 1", "mode 2"}));
}

TEST_F(Files, ScheduleAddAndRemoveFollowTheirRules) {
    key.files["/mnt/clip.ts"] = {1};
    Open(kSat2);
    page.Item(kScheduleStart).SetMinutesOfDay(8 * 60);
    page.Item(kScheduleEnd).SetMinutesOfDay(10 * 60);
    ops.UpdateAddButton();
    EXPECT_FALSE(Enabled(kScheduleAdd)); // nothing selected
    Select(0);
    EXPECT_TRUE(Enabled(kScheduleAdd));
    page.Item(kScheduleEnd).SetMinutesOfDay(7 * 60); // ends before it starts
    ops.UpdateAddButton();
    EXPECT_FALSE(Enabled(kScheduleAdd));
    page.Item(kScheduleEnd).SetMinutesOfDay(10 * 60);
    ops.UpdateAddButton();
    ops.AddScheduleEntry();
    ASSERT_EQ(host.schedule.size(), 1u);
    EXPECT_EQ(host.schedule[0].fileName, U"udp://@:5004");
    EXPECT_EQ(host.passThrough, (std::vector<bool>{true}));
    EXPECT_EQ(host.inputChangedMarks, 1);
    EXPECT_EQ(page.Item(kScheduleList).Cell(0, 1).text, "8:00");
    EXPECT_EQ(page.Item(kScheduleList).Cell(0, 3).text, "udp://@:5004");
    EXPECT_FALSE(Enabled(kScheduleAdd)); // the same window again overlaps

    page.Item(kScheduleStart).SetMinutesOfDay(12 * 60);
    page.Item(kScheduleEnd).SetMinutesOfDay(13 * 60);
    Select(2);
    ops.AddScheduleEntry();
    page.Item(kScheduleStart).SetMinutesOfDay(10 * 60);
    page.Item(kScheduleEnd).SetMinutesOfDay(11 * 60);
    Select(1);
    page.Item(kStreamPort).SetText("6000");
    ops.AddScheduleEntry();
    ASSERT_EQ(host.schedule.size(), 3u);
    EXPECT_EQ(host.schedule[1].fileName, U"rtp://@:6000");
    EXPECT_EQ(host.schedule[2].fileName, U"clip.ts");
    EXPECT_EQ(host.passThrough.size(), 1u); // only the first entry

    EXPECT_FALSE(Enabled(kScheduleRemove));
    page.Item(kScheduleList).SelectRow(0, true);
    page.Item(kScheduleList).SelectRow(2, true);
    ops.UpdateRemoveButton();
    EXPECT_TRUE(Enabled(kScheduleRemove));
    ops.RemoveScheduleEntries();
    ASSERT_EQ(host.schedule.size(), 1u);
    EXPECT_EQ(host.schedule[0].fileName, U"rtp://@:6000");
    EXPECT_FALSE(Enabled(kScheduleRemove));
    page.Item(kScheduleList).SelectRow(0, true);
    ops.RemoveScheduleEntries();
    EXPECT_EQ(host.passThrough, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.inputChangedMarks, 5);
}

TEST_F(Files, TenEntriesDisableAdd) {
    for (int i = 0; i < 10; ++i)
        AddEntry(host.schedule, uint32_t(i * 60), uint32_t(i * 60 + 30), U"x.ts");
    Open(kSat2);
    page.Item(kScheduleStart).SetMinutesOfDay(20 * 60);
    page.Item(kScheduleEnd).SetMinutesOfDay(21 * 60);
    Select(0);
    EXPECT_FALSE(Enabled(kScheduleAdd));
    ops.AddScheduleEntry();
    EXPECT_EQ(host.schedule.size(), 10u);
}
