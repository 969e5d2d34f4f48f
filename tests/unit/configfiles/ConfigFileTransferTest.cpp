// Save and load through the main window's buttons against the simulated demo rack, on
// virtual time: the file dialogs, the check dialog, the write-back and the refusals.
#include "configfiles/ConfigFileTransfer.h"

#include "configfiles/ConfigFile.h"
#include "configfiles/KeptBytes.h"
#include "tests/support/FifoWatchdog.h"
#include "tests/unit/rack/MainWindowSupport.h"
#include "ui/ScriptedResponder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace kaptiv;
using configfiles::CConfigValidate;
using configfiles::ConfigEntry;
using rack::CQuorvelDlg;

namespace {

constexpr uint8_t kTwinTunerAddress = 10; // type 7 in the demo rack
constexpr uint8_t kCofdmAddress = 12;     // type 6

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct ConfigTransfer : ::testing::Test {
    std::filesystem::path folder;
    test::MainWindowOnSim rig;
    CConfigValidate validate{rig.windows};
    configfiles::ConfigFileTransfer files{rig.windows, rig.info, validate};
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{rig.windows,
                                    [this](const std::string& what) { failures.push_back(what); }, 20000};
    // What the check dialog showed on its last run.
    bool okEnabled = false;
    bool okRefused = false;
    std::string summary;
    std::string title;

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kaptiv-cfg-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        rig.main.Image().applicationFolder = folder.string();
        std::filesystem::create_directories(folder / "config");
        rig.main.SetConfigurationFiles(&files);
        rig.Open(mulvane::DemoRack());
        rig.main.Show(true); // dialogs over a hidden window take no input
        rig.RunUntilScans(1);
        ASSERT_GT(rig.main.Image().moduleCount, 5);
    }
    void TearDown() override {
        rig.main.SetConfigurationFiles(nullptr);
        EXPECT_EQ(failures, std::vector<std::string>{});
        EXPECT_EQ(responder.Unused(), 0u);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::string Path(const std::string& name) const { return (folder / "config" / name).string(); }

    void Save(const std::string& chosen) {
        responder.AnswerFileDialog({chosen});
        rig.main.OnClick(CQuorvelDlg::kSaveButton);
    }
    // Loads `path`; the check dialog is answered with OK (when enabled) or cancelled.
    void Load(const std::string& path, bool confirm = true) {
        responder.AnswerFileDialog({path});
        responder.OnModalDialog(CConfigValidate::kDialogId, [this, confirm](ui::Dialog& d) {
            title = d.Title();
            okEnabled = d.Item(CConfigValidate::kOkButton).IsEnabled();
            summary = d.Item(CConfigValidate::kSummary).Text();
            // As the page does: a click on OK, refused while it is disabled, or on "Annuler".
            ui::WindowSystem& windows = d.Windows();
            const auto okClick = windows.DeliverEvent(ui::MakeEvent(d.Id(), CConfigValidate::kOkButton));
            okRefused = okClick == ui::DeliverResult::Disabled;
            if (!confirm || okClick != ui::DeliverResult::Delivered)
                windows.DeliverEvent(ui::MakeEvent(d.Id(), CConfigValidate::kCancelButton));
        });
        rig.main.OnClick(CQuorvelDlg::kLoadButton);
    }
    // Loads a file that must be refused before the check dialog.
    void LoadRefused(const std::string& path) {
        responder.AnswerFileDialog({path});
        rig.main.OnClick(CQuorvelDlg::kLoadButton);
    }
    std::vector<ConfigEntry> LiveEntries() {
        std::vector<ConfigEntry> out;
        const rack::RackImage& image = rig.main.Image();
        for (size_t i = 0; i < image.moduleCount; ++i)
            out.push_back({image.Live(i).type, {image.Live(i).Block().begin(), image.Live(i).Block().end()}});
        return out;
    }
    std::vector<uint8_t> FileOf(const std::vector<ConfigEntry>& entries) {
        std::string error;
        auto bytes = configfiles::BuildConfigFile(entries, error);
        EXPECT_EQ(error, "");
        return bytes;
    }
    size_t BlocksWrittenInAll() const {
        size_t n = 0;
        for (const auto& m : rig.engine->Config().modules)
            n += rig.engine->BlocksWritten(m.address).size();
        return n;
    }
    size_t Beeps(int hz, int ms) const {
        size_t n = 0;
        for (const auto& b : rig.windows.Beeps())
            n += b.frequencyHz == hz && b.durationMs == ms;
        return n;
    }
};

} // namespace

TEST_F(ConfigTransfer, SaveThenLoadOnTheSameRackMatchesAndWritesNothing) {
    Save(Path("site1"));
    const std::string saved = Path("site1.qvc");
    EXPECT_EQ(rig.info.Message(), "Configuration saved into " + saved);
    EXPECT_EQ(ReadBytes(saved), FileOf(LiveEntries()));
    ASSERT_EQ(responder.Asked().size(), 1u);
    const ui::FileDialogOptions& asked = responder.Asked()[0].file;
    EXPECT_TRUE(asked.save);
    EXPECT_TRUE(asked.overwritePrompt);
    EXPECT_EQ(asked.title, "Select name to save hardware configuration");
    EXPECT_EQ(asked.initialFolder, (folder / "config").string());
    EXPECT_EQ(asked.filters, (std::vector<ui::FileFilter>{{"Config.", "*.qvc"}}));

    rig.engine->ClearHistory();
    Load(saved);
    EXPECT_EQ(responder.Asked()[1].file.title, "Select Configuration file to upload in hardware");
    EXPECT_FALSE(responder.Asked()[1].file.save);
    EXPECT_EQ(title, "CONFIGURATION");
    EXPECT_TRUE(okEnabled);
    EXPECT_EQ(summary.substr(0, 75),
              "Loaded configuration matches current installation.\r\n\r\nShort Description :\r\n");
    EXPECT_NE(summary.find("Slot 1 : RkSat2.0\r\nSat. : A\r\n"), std::string::npos);
    EXPECT_EQ(rig.info.Message(), "Configuration uploaded to harware.");
    EXPECT_EQ(BlocksWrittenInAll(), 0u);
    // Every output that takes the request was told to apply its settings.
    EXPECT_GE(rig.engine->ExecuteCount(kCofdmAddress), 1);
    EXPECT_EQ(rig.main.Image().loadedCount, rig.main.Image().moduleCount);
    EXPECT_EQ(Beeps(440, 250), 0u);
}

TEST_F(ConfigTransfer, ChangedFileIsWrittenButTheKeptBytesStayTheModulesOwn) {
    std::vector<ConfigEntry> entries = LiveEntries();
    ASSERT_EQ(entries[1].type, 7);
    const std::vector<uint8_t> liveTuner = entries[1].block;
    const auto kept = configfiles::KeptBytesOffset(7, liveTuner);
    ASSERT_TRUE(kept && *kept + 8 <= liveTuner.size()) << "the demo tuner block reaches the kept bytes";
    // The file comes from another rack: another symbol rate, other kept bytes.
    entries[1].block[2] ^= 0x01;
    for (size_t i = 0; i < 8; ++i)
        entries[1].block[*kept + i] = static_cast<uint8_t>(0xE0 + i);
    const std::vector<uint8_t> cofdm = entries[3].block;
    ASSERT_EQ(entries[3].type, 6);
    entries[3].block[7] = 0x40;
    WriteBytes(Path("other.qvc"), FileOf(entries));

    rig.engine->ClearHistory();
    Load(Path("other.qvc"));
    EXPECT_TRUE(okEnabled);
    std::vector<uint8_t> expected = entries[1].block;
    std::copy_n(liveTuner.begin() + static_cast<long>(*kept), 8, expected.begin() + static_cast<long>(*kept));
    ASSERT_EQ(rig.engine->BlocksWritten(kTwinTunerAddress).size(), 1u);
    EXPECT_EQ(rig.engine->BlocksWritten(kTwinTunerAddress)[0], expected);
    EXPECT_EQ(rig.engine->CurrentBlock(kTwinTunerAddress), expected);
    ASSERT_EQ(rig.engine->BlocksWritten(kCofdmAddress).size(), 1u);
    EXPECT_EQ(rig.engine->BlocksWritten(kCofdmAddress)[0], entries[3].block);
    EXPECT_EQ(BlocksWrittenInAll(), 2u);
    EXPECT_EQ(rig.info.Message(), "Configuration uploaded to harware.");
}

TEST_F(ConfigTransfer, FilesOfAnotherRackDoNotMatchAndCannotBeConfirmed) {
    const std::vector<ConfigEntry> live = LiveEntries();
    std::vector<std::vector<ConfigEntry>> others;
    others.push_back(live);
    others.back().push_back({3, {}});                                         // one module more
    others.push_back(std::vector<ConfigEntry>(live.begin(), live.end() - 1)); // one less
    others.push_back(live);
    std::swap(others.back()[1], others.back()[3]); // input and output swapped
    others.push_back({});                          // an empty file
    int beeps = 0;
    for (const auto& other : others) {
        WriteBytes(Path("other.qvc"), FileOf(other));
        const rack::RackImage before = rig.main.Image();
        rig.engine->ClearHistory();
        okEnabled = true;
        Load(Path("other.qvc"));
        EXPECT_FALSE(okEnabled);
        EXPECT_TRUE(okRefused);
        EXPECT_EQ(summary.substr(0, 58), "LOADED CONFIGURATION DOES NOT MATCH CURRENT INSTALLATION !");
        EXPECT_EQ(Beeps(440, 250), size_t(++beeps));
        EXPECT_EQ(BlocksWrittenInAll(), 0u);
        EXPECT_EQ(rig.engine->ExecuteCount(kCofdmAddress), 0);
        for (size_t i = 0; i < before.moduleCount; ++i)
            EXPECT_EQ(rig.main.Image().Live(i).Block().size(), before.Live(i).Block().size());
        // The loaded half keeps the file until the next load.
        EXPECT_EQ(rig.main.Image().loadedCount, other.size());
    }
}

TEST_F(ConfigTransfer, CancellingTheCheckOrTheFileDialogChangesNothing) {
    std::vector<ConfigEntry> entries = LiveEntries();
    entries[3].block[7] ^= 0x10;
    WriteBytes(Path("changed.qvc"), FileOf(entries));
    rig.engine->ClearHistory();
    Load(Path("changed.qvc"), false);
    EXPECT_TRUE(okEnabled);
    EXPECT_EQ(BlocksWrittenInAll(), 0u);
    EXPECT_NE(rig.main.Image().Live(3).Block()[7], entries[3].block[7]);
    EXPECT_EQ(rig.main.Image().Loaded(3).Block()[7], entries[3].block[7]);

    responder.AnswerFileDialog({});
    rig.main.OnClick(CQuorvelDlg::kLoadButton);
    responder.AnswerFileDialog({});
    rig.main.OnClick(CQuorvelDlg::kSaveButton);
    EXPECT_FALSE(std::filesystem::exists(Path(".qvc")));
    EXPECT_EQ(BlocksWrittenInAll(), 0u);
}

TEST_F(ConfigTransfer, ARackThatChangedWhileTheCheckWasOpenIsNotWritten) {
    std::vector<ConfigEntry> entries = LiveEntries();
    entries[3].block[7] ^= 0x10;
    WriteBytes(Path("changed.qvc"), FileOf(entries));
    rig.engine->ClearHistory();
    responder.AnswerFileDialog({Path("changed.qvc")});
    responder.OnModalDialog(CConfigValidate::kDialogId, [this](ui::Dialog& d) {
        okEnabled = d.Item(CConfigValidate::kOkButton).IsEnabled();
        rig.main.Image().moduleCount -= 1; // a scan found one module less meanwhile
        d.OnOK();
    });
    rig.main.OnClick(CQuorvelDlg::kLoadButton);
    EXPECT_TRUE(okEnabled);
    EXPECT_EQ(rig.info.Message(), "LOADED CONFIGURATION DOES NOT MATCH CURRENT INSTALLATION !");
    EXPECT_EQ(Beeps(440, 250), 1u);
    EXPECT_EQ(BlocksWrittenInAll(), 0u);
    EXPECT_EQ(rig.engine->ExecuteCount(kCofdmAddress), 0);
}

TEST_F(ConfigTransfer, BadFilesAreRefusedWholeWithTheProblemNamed) {
    const std::vector<uint8_t> good = FileOf(LiveEntries());
    std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
    std::vector<uint8_t> sixteen = FileOf(std::vector<ConfigEntry>(15, ConfigEntry{3, {}}));
    sixteen.insert(sixteen.end(), {0, 0, 0});
    std::vector<uint8_t> oversized = {0x00, 0x00, 0x00, 0x07, 0x04, 0x01};
    oversized.resize(oversized.size() + 1025, 0x55);
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {truncated, "ERROR : CONFIGURATION FILE REFUSED, the file ends inside the"},
        {sixteen, "ERROR : CONFIGURATION FILE REFUSED, more than 15 modules !"},
        {oversized,
         "ERROR : CONFIGURATION FILE REFUSED, entry 1 has a block of 1025 bytes, more than 1024 !"},
    };
    // A good load first, so that the loaded half holds something a refusal must not touch.
    WriteBytes(Path("good.qvc"), good);
    Load(Path("good.qvc"), false);
    const uint8_t loadedCount = rig.main.Image().loadedCount;
    size_t beeps = Beeps(440, 250);
    for (const auto& [bytes, message] : cases) {
        WriteBytes(Path("bad.qvc"), bytes);
        rig.engine->ClearHistory();
        LoadRefused(Path("bad.qvc"));
        EXPECT_EQ(rig.info.Message().substr(0, message.size()), message);
        EXPECT_EQ(Beeps(440, 250), ++beeps);
        EXPECT_EQ(BlocksWrittenInAll(), 0u);
        EXPECT_EQ(rig.engine->ExecuteCount(kCofdmAddress), 0);
        EXPECT_EQ(rig.main.Image().loadedCount, loadedCount);
    }
    LoadRefused(Path("missing.qvc"));
    EXPECT_EQ(rig.info.Message(), "ERROR : CAN NOT OPEN FILE ! (cannot open " + Path("missing.qvc") +
                                      ": No such file or directory)");
    EXPECT_EQ(Beeps(440, 250), ++beeps);
}

TEST_F(ConfigTransfer, SaveFailureBeepsAndKeepsTheOldFile) {
    Save(Path("site1.QVC"));
    const std::vector<uint8_t> first = ReadBytes(Path("site1.QVC"));
    ASSERT_FALSE(first.empty());
    // The folder vanished under the dialog: nothing can be created in it.
    Save((folder / "gone" / "site2").string());
    EXPECT_EQ(rig.info.Message().rfind("ERROR : CAN NOT CREATE FILE ! (cannot create a temporary file in " +
                                           (folder / "gone").string(),
                                       0),
              0u)
        << rig.info.Message();
    EXPECT_EQ(Beeps(440, 250), 1u);
    EXPECT_EQ(ReadBytes(Path("site1.QVC")), first);
}

TEST_F(ConfigTransfer, AnExistingFileIsReplacedOnlyWhenTheQuestionAboutItsRealNameIsAnsweredYes) {
    const std::vector<uint8_t> mine = {0xAA, 0xBB};
    WriteBytes(Path("site1.qvc"), mine);
    ASSERT_EQ(::chmod(Path("site1.qvc").c_str(), 0600), 0);
    // A typed "site1" is written as site1.qvc: that is the file asked about. "No" brings the
    // dialog back, which is then cancelled.
    responder.AnswerFileDialog({Path("site1")});
    responder.AnswerMessageBox(ui::ModalResult::No, "site1.qvc already exists.");
    responder.AnswerFileDialog({});
    rig.main.OnClick(CQuorvelDlg::kSaveButton);
    EXPECT_EQ(ReadBytes(Path("site1.qvc")), mine);
    EXPECT_EQ(responder.Asked()[0].file.defaultExtension, "qvc");

    responder.AnswerFileDialog({Path("site1")});
    responder.AnswerMessageBox(ui::ModalResult::Yes, "site1.qvc already exists.");
    rig.main.OnClick(CQuorvelDlg::kSaveButton);
    EXPECT_EQ(ReadBytes(Path("site1.qvc")), FileOf(LiveEntries()));
    EXPECT_EQ(rig.info.Message(), "Configuration saved into " + Path("site1.qvc"));
    struct stat st {};
    ASSERT_EQ(::stat(Path("site1.qvc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "the replaced file keeps its mode";

    // The naming rule's own case: "site1.qv" is written as site1.qv.qvc, and asked about.
    WriteBytes(Path("site1.qv.qvc"), mine);
    responder.AnswerFileDialog({Path("site1.qv")});
    responder.AnswerMessageBox(ui::ModalResult::No, "site1.qv.qvc already exists.");
    responder.AnswerFileDialog({});
    rig.main.OnClick(CQuorvelDlg::kSaveButton);
    EXPECT_EQ(ReadBytes(Path("site1.qv.qvc")), mine);
    EXPECT_FALSE(std::filesystem::exists(Path("site1.qv")));
}

TEST_F(ConfigTransfer, ALoadWhoseWriteIsRefusedNamesTheModuleAndSendsTheBlockAgainLater) {
    std::vector<ConfigEntry> entries = LiveEntries();
    ASSERT_EQ(entries[3].type, 6);
    entries[3].block[7] ^= 0x10;
    WriteBytes(Path("changed.qvc"), FileOf(entries));
    rig.engine->GetFaults().AnswerNegativelyAlways(kCofdmAddress);
    rig.engine->ClearHistory();
    Load(Path("changed.qvc"));
    EXPECT_TRUE(okEnabled);
    EXPECT_EQ(rig.info.Message(), "Configuration NOT uploaded to: " + std::string(ModuleName(6)) + " #3");
    EXPECT_EQ(Beeps(440, 250), 1u);

    // The settings editor's next write sends the block that never arrived.
    rig.engine->GetFaults().AnswerNegativelyAlways(kCofdmAddress, false);
    rig.engine->ClearHistory();
    link::CommandSet commands(rig.xmit);
    rig.main.Image().SendChanges(commands);
    ASSERT_EQ(rig.engine->BlocksWritten(kCofdmAddress).size(), 1u);
    EXPECT_EQ(rig.engine->BlocksWritten(kCofdmAddress)[0], entries[3].block);
    EXPECT_EQ(rig.engine->CurrentBlock(kCofdmAddress), entries[3].block);
    // Written now: the write after that has nothing to send.
    rig.engine->ClearHistory();
    rig.main.Image().SendChanges(commands);
    EXPECT_EQ(BlocksWrittenInAll(), 0u);
}

TEST_F(ConfigTransfer, APipeChosenToLoadOrSaveIsRefusedAtOnceByName) {
    test::FifoWatchdog fifo(Path("pipe.qvc"));
    auto took = fifo.Run([&] { LoadRefused(fifo.Path()); });
    EXPECT_LT(took, test::FifoWatchdog::kPatience);
    EXPECT_FALSE(fifo.Rescued());
    EXPECT_EQ(rig.info.Message(),
              "ERROR : CAN NOT OPEN FILE ! (" + fifo.Path() + " is a pipe (FIFO), not a regular file)");

    took = fifo.Run([&] {
        responder.AnswerFileDialog({Path("pipe")});
        responder.AnswerMessageBox(ui::ModalResult::Yes, "pipe.qvc already exists.");
        rig.main.OnClick(CQuorvelDlg::kSaveButton);
    });
    EXPECT_LT(took, test::FifoWatchdog::kPatience);
    EXPECT_FALSE(fifo.Rescued());
    EXPECT_EQ(rig.info.Message(),
              "ERROR : CAN NOT CREATE FILE ! (" + fifo.Path() + " is a pipe (FIFO), not a regular file)");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo.Path()));
    EXPECT_EQ(Beeps(440, 250), 2u);
}
