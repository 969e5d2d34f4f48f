// Upload and delete of names that mean something to a shell, through the link, against the
// simulated module whose shell reads words as a POSIX shell does (patterns included). Every
// other file of the key must still be there afterwards: a name that reached the shell unquoted
// would remove its look-alikes instead of, or besides, itself.
#include "link/CXmit.h"
#include "link/CommandSet.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "resources/Dialogs.h"
#include "resources/SettingsIds.h"
#include "sim/Engine.h"
#include "sim/SerialLine.h"
#include "streaming/StreamingFiles.h"
#include "tests/support/SimSerial.h"
#include "tests/unit/app/TempFolder.h"
#include "tests/unit/streaming/StreamingTestSupport.h"
#include "ui/Dialog.h"
#include "ui/ScriptedResponder.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

using namespace kaptiv;
using namespace kaptiv::streaming;
using namespace kaptiv::resources::page;

namespace {

constexpr uint8_t kTuner = 10;
constexpr uint8_t kSat2 = 10;

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

mulvane::ModuleConfig Module(uint8_t address, uint8_t type) {
    mulvane::ModuleConfig m;
    m.address = address;
    m.type = type;
    m.answerDelayMinMs = 1;
    m.answerDelayMaxMs = 1;
    return m;
}

// The look-alikes: what each name of the test would hit if the shell read it unquoted.
const std::vector<std::string> kDecoys = {"clip1.ts", "my",    "clip.ts", "ab.ts",    "a.ts",
                                          "its.ts",   "xy.ts", "b.ts",    "a{b,c}.ts"};

struct KeyRoundTrip : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    ui::Dialog page{windows, resources::DialogTemplateById(kDialogSettings)};
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{windows, [this](const std::string& what) { failures.push_back(what); }};
    std::unique_ptr<mulvane::RackEngine> engine;
    std::unique_ptr<mulvane::SerialLine> line;
    link::CXmit xmit{clock};
    link::CommandSet commands{xmit};
    CommandSetFiles files{commands, kTuner};
    std::vector<std::string> log;
    streaming::test::FakeHost host{log};
    StreamingFiles ops{page, Ids()};
    app::test::TempFolder folder;

    void SetUp() override {
        mulvane::RackConfig rack;
        mulvane::ModuleConfig tuner = Module(kTuner, kSat2);
        mulvane::UsbKeyConfig key;
        for (const std::string& decoy : kDecoys)
            key.files.emplace_back(decoy, std::vector<uint8_t>(decoy.begin(), decoy.end()));
        tuner.usbKey = key;
        rack.modules = {Module(0, 0), tuner};
        engine = std::make_unique<mulvane::RackEngine>(std::move(rack), 5);
        line = std::make_unique<mulvane::SerialLine>(engine.get());
        xmit.SetPortOpener(std::make_unique<kaptiv::test::SimOpener>(clock, *line, 0));
        ASSERT_TRUE(xmit.OpenLink());
        page.Create();
        ops.Open(host, files, kSat2, kTuner, folder.Path().string());
        ops.RefillFileList(true);
    }
    void TearDown() override { EXPECT_TRUE(failures.empty()) << failures.front(); }

    std::map<std::string, std::vector<uint8_t>> Key() const {
        std::map<std::string, std::vector<uint8_t>> out;
        for (const auto& [name, bytes] : engine->UsbKeyFiles(kTuner))
            out[name] = bytes;
        return out;
    }
    std::string Local(const std::string& name) {
        const auto path = folder.Path() / name;
        std::ofstream out(path, std::ios::binary);
        out << "clip " << name << std::string(700, '.');
        return path.string();
    }
    int Position(const std::string& name) const {
        const auto& items = page.Item(kFileList).Items();
        return int(std::find(items.begin(), items.end(), name) - items.begin());
    }
};

} // namespace

TEST_F(KeyRoundTrip, NamesThatMeanSomethingToAShellComeAndGoExactly) {
    for (const std::string name :
         {"clip[1].ts", "my clip.ts", "a{b}.ts", "it's.ts", "a$b.ts", "x*.ts", "[ab].ts", "a{b,c}.ts"}) {
        SCOPED_TRACE(name);
        const auto before = Key();
        const std::string local = Local(name);
        responder.AnswerFileDialog({local});
        ops.UploadFiles();
        auto after = Key();
        ASSERT_TRUE(after.contains(name)) << "not uploaded";
        std::ifstream in(local, std::ios::binary);
        EXPECT_EQ(after[name], std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
        after.erase(name);
        if (before.contains(name))
            after[name] = before.at(name); // replaced: compared apart
        EXPECT_EQ(after, before) << "another file changed";

        const int position = Position(name);
        ASSERT_LT(position, int(page.Item(kFileList).Items().size()));
        page.Item(kFileList).SetSelectedItem(position);
        ops.FileSelectionChanged();
        ASSERT_TRUE(page.Item(kFileDelete).IsEnabled());
        ops.DeleteFile();
        auto gone = Key();
        EXPECT_FALSE(gone.contains(name)) << "not deleted";
        auto expected = before;
        expected.erase(name);
        EXPECT_EQ(gone, expected) << "delete removed another file";
        EXPECT_EQ(Position(name), int(page.Item(kFileList).Items().size())) << "still listed";
    }
    // The shell ran every text it was sent, and nothing failed on the page.
    EXPECT_EQ(engine->ModuleLog(kTuner).find("shell: refused"), std::string::npos)
        << engine->ModuleLog(kTuner);
    EXPECT_EQ(std::count(ops.Messages().begin(), ops.Messages().end(), "ERROR !"), 0);
    EXPECT_FALSE(engine->ExecutedTexts(kTuner).empty());
    // Only the look-alike that was itself uploaded over and deleted is gone.
    EXPECT_EQ(Key().size(), kDecoys.size() - 1);
    EXPECT_FALSE(Key().contains("a{b,c}.ts"));
}
