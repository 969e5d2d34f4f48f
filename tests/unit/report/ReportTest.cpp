// The installation report written headlessly from the main window over the simulated rack, on
// virtual time: the stepping through the modules, the sections the settings page hands back,
// the abort on a lost link and the bytes of the file.
#include "editor/CSatCofdm.h"
#include "platform/ModuleType.h"
#include "report/CReport.h"
#include "report/ReportText.h"
#include "settings/BlockText.h"
#include "settings/EncoderBlock.h"
#include "settings/TunerBlock.h"
#include "sim/DemoBlocks.h"
#include "tests/support/FifoWatchdog.h"
#include "tests/unit/rack/MainWindowSupport.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/ScriptedResponder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

using namespace kaptiv;
using report::CReport;

namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// What the file holds between a module's heading and the next heading (or the file end).
std::string AfterHeading(const std::string& file, const std::string& heading) {
    const std::string full = report::FileBytes(heading);
    const size_t at = file.find(full);
    if (at == std::string::npos)
        return "<no heading>";
    const size_t from = at + full.size();
    size_t to = file.find("<h2 align =", from);
    if (to == std::string::npos)
        to = file.find(report::kFileEnd, from);
    return file.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

size_t FilesIn(const std::filesystem::path& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

std::vector<uint8_t> TunerBlock(settings::TunerValues values) {
    values.sections.resize(static_cast<size_t>(TunerSectionCount(values.type)));
    for (auto& section : values.sections)
        section.frequencyMHz = 11000;
    auto encoded = settings::EncodeTunerBlock(values, settings::ChecksFor(values));
    EXPECT_TRUE(encoded.Ok()) << encoded.error;
    return encoded.block;
}

struct Report : ::testing::Test {
    test::MainWindowOnSim sim;
    editor::CSatCofdm page{sim.windows};
    CReport report{sim.main, &page};
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{sim.windows,
                                    [this](const std::string& what) { failures.push_back(what); }};
    std::filesystem::path folder;

    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("kaptiv-report-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        text::SetLanguageIndex(0);
    }
    void TearDown() override {
        text::SetLanguageIndex(0);
        EXPECT_TRUE(failures.empty()) << failures.front();
        std::filesystem::remove_all(folder);
    }

    void Start(mulvane::RackConfig rack) {
        sim.main.SetChainPage(&page);
        sim.main.SetInstallationReport(&report);
        for (auto& m : rack.modules) {
            m.answerDelayMinMs = 1;
            m.answerDelayMaxMs = 1;
        }
        sim.main.Image().applicationFolder = folder.string();
        sim.Open(std::move(rack));
        sim.main.Show(true);
        sim.RunUntilScans(1);
        ASSERT_EQ(sim.main.LastScan().outcome, rack::ScanOutcome::Connected);
    }
    // Presses the report button, answers the save dialog with `name` in the report folder and
    // lets the report run to its end (or until the time given).
    std::filesystem::path Write(const std::string& name = "rack1", int64_t runMs = 20000) {
        const std::filesystem::path path = folder / "report" / name;
        responder.AnswerFileDialog({path.string()});
        sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
        for (int64_t t = 0; t < runMs && report.IsReportRunning(); t += 50)
            sim.loop.RunFor(50);
        return report::WithHtmlExtension(path.string());
    }
    static mulvane::RackConfig Rack(std::vector<mulvane::ModuleConfig> modules) {
        mulvane::RackConfig rack = mulvane::DemoRack();
        rack.modules.resize(1); // the demo rack's controller
        for (auto& m : modules) {
            if (m.block.empty())
                m.block = mulvane::DemoBlockFor(m.type);
            rack.modules.push_back(std::move(m));
        }
        return rack;
    }
};

TEST_F(Report, ControllerAndCiGiveTitleBlockTwoHeadingsAndTheEnd) {
    Start(Rack({test::Module(9, type::kCommonInterface, 23)}));
    const auto path = Write();
    EXPECT_FALSE(report.IsReportRunning());
    EXPECT_EQ(report.ReportPosition(), -1);
    EXPECT_TRUE(sim.main.Item(rack::CQuorvelDlg::kModuleList).IsEnabled());
    EXPECT_EQ(sim.main.SelectedModule(), rack::kNoModule);
    const std::string file = ReadFile(path);
    const std::string head =
        std::string(report::kHeader1) + report::kHeader2 + report::kHeader3 + sim.main.Title() + "<br>";
    ASSERT_EQ(file.substr(0, head.size()), head);
    EXPECT_EQ(Count(file, "<br></h2>\r\n"), 1u);
    EXPECT_EQ(Count(file, "<h2 align =\"CENTER\""), 2u);
    EXPECT_NE(file.find(report::FileBytes(report::ModuleHeading("RkCI", 23))), std::string::npos); // V2.3
    EXPECT_EQ(AfterHeading(file, report::ModuleHeading("RkCI", 23)), "");
    EXPECT_EQ(file.substr(file.size() - std::string(report::kFileEnd).size()), report::kFileEnd);
    EXPECT_EQ(sim.info.Message(), text::LocalizedText(CReport::kTextSaved) + path.string());
}

TEST_F(Report, CancelledDialogWritesNothingAndUncreatableFileBeeps) {
    Start(Rack({}));
    responder.AnswerFileDialog({});
    sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
    EXPECT_FALSE(report.IsReportRunning());
    EXPECT_TRUE(std::filesystem::exists(folder / "report")); // created for the dialog
    EXPECT_TRUE(std::filesystem::is_empty(folder / "report"));
    Write("missing-folder/rack");
    EXPECT_FALSE(report.IsReportRunning());
    ASSERT_FALSE(sim.windows.Beeps().empty());
    EXPECT_EQ(sim.windows.Beeps().back().frequencyHz, 440);
    EXPECT_EQ(sim.windows.Beeps().back().durationMs, 250);
    EXPECT_EQ(sim.info.Message(),
              text::LocalizedText(CReport::kTextCannotCreate) + " (cannot create a temporary file in " +
                  (folder / "report" / "missing-folder").string() + ": No such file or directory)");
}

TEST_F(Report, OutputsWithoutSectionOrWithoutInputGetTheirHeadingOnly) {
    // A modulator with no input before it, then a single satellite tuner feeding a type 2
    // modulator and an IP streamer: the report passes over each output.
    Start(Rack({test::Module(9, type::kModT2), test::Module(10, type::kSat1), test::Module(11, type::kModT1),
                test::Module(12, type::kIpStreamer)}));
    const auto path = Write();
    ASSERT_FALSE(report.IsReportRunning());
    const std::string file = ReadFile(path);
    EXPECT_EQ(Count(file, "<h2 align =\"CENTER\""), 5u);
    EXPECT_EQ(AfterHeading(file, report::ModuleHeading("RkModT1", 20)), "");
    EXPECT_EQ(AfterHeading(file, report::ModuleHeading("QVXIP", 20)), "");
    EXPECT_EQ(AfterHeading(file, report::ModuleHeading("RkModT2", 20)), "");
    // The tuner itself has its configuration table, in the installer's language.
    EXPECT_NE(AfterHeading(file, report::ModuleHeading("RkSat1", 20)).find("<b> F.E.C. </b>"),
              std::string::npos);
    EXPECT_EQ(file.substr(file.size() - 14), report::kFileEnd);
}

TEST_F(Report, FrenchTermsAndUntranslatedOnes) {
    text::SetLanguageIndex(1);
    Start(Rack({test::Module(9, type::kSat1)}));
    const std::string section = AfterHeading(ReadFile(Write()), report::ModuleHeading("RkSat1", 20));
    EXPECT_NE(section.find("<b> Configuration </b>"), std::string::npos);
    EXPECT_NE(section.find("<b> Qualit\xE9 </b>"), std::string::npos); // one ISO-8859-1 byte
    EXPECT_NE(section.find("<b> F.E.C. </b>"), std::string::npos);
}

TEST_F(Report, StreamingTunerWithFilesAndNoSchedule) {
    settings::TunerValues values;
    values.type = type::kSat2;
    values.serverAddress = U"10.0.0.5";
    values.serverPort = 1234;
    auto tuner = test::Module(9, type::kSat2);
    tuner.block = TunerBlock(values);
    tuner.usbKey = mulvane::UsbKeyConfig{};
    tuner.usbKey->files = {{"clip<1>.ts", std::vector<uint8_t>(10, 1)},
                           {"b.ts", std::vector<uint8_t>(10, 2)}};
    Start(Rack({tuner}));
    const std::string section = AfterHeading(ReadFile(Write()), report::ModuleHeading("RkSat2", 20));
    EXPECT_NE(section.find("<b> Identification </b>"), std::string::npos);
    EXPECT_NE(section.find(" 10.0.0.5:1234 "), std::string::npos);
    EXPECT_NE(section.find("<b> Configuration </b>"), std::string::npos);
    EXPECT_NE(section.find("<b> RATE </b>"), std::string::npos);
    EXPECT_NE(section.find("<b> USB-Key Content </b>"), std::string::npos);
    EXPECT_NE(section.find("> clip&lt;1&gt;.ts <"), std::string::npos);
    EXPECT_NE(section.find("> b.ts <"), std::string::npos);
    EXPECT_EQ(section.find("Streaming on S.I.D."), std::string::npos);
}

TEST_F(Report, ScheduleTimesAndCableBandwidth) {
    settings::TunerValues values;
    values.type = type::kTerrestrial;
    values.streamingServiceId = 77;
    values.streamedName = U"Loop";
    values.schedule = {{65, 130, U"clip.ts"}};
    values.terrestrial[0] = {0, 8, 346000};
    values.terrestrial[1] = {1, 8, 474000};
    auto tuner = test::Module(9, type::kTerrestrial);
    tuner.block = TunerBlock(values);
    tuner.usbKey = mulvane::UsbKeyConfig{};
    tuner.usbKey->files = {{"clip.ts", std::vector<uint8_t>(10, 1)}};
    Start(Rack({tuner}));
    const std::string section = AfterHeading(ReadFile(Write()), report::ModuleHeading("QVXCT2", 20));
    EXPECT_NE(section.find("Streaming on S.I.D. 77 (NAME : Loop)"), std::string::npos);
    EXPECT_NE(section.find("> 01:05 <"), std::string::npos);
    EXPECT_NE(section.find("> 02:10 <"), std::string::npos);
    // Input A is DVB-C: no bandwidth. Input B is DVB-T at 8 MHz.
    EXPECT_NE(
        section.find(
            "> DVB-C </font></td>\r\n<td align=\"CENTER\"><font size=\"2\"> 346.000 MHz </font></td>\r\n"
            "<td align=\"CENTER\"><font size=\"2\"> - <"),
        std::string::npos);
    EXPECT_NE(section.find("> 474.000 MHz </font></td>\r\n<td align=\"CENTER\"><font size=\"2\"> 8 MHz <"),
              std::string::npos);
}

TEST_F(Report, EncoderServiceNameIsEscaped) {
    settings::EncoderValues values;
    values.channels[0].name = U"<&>";
    values.channels[1].name = U"R&B \u03A9";
    bool changed = false;
    auto encoded = settings::EncodeEncoderBlock(values, changed);
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    auto encoder = test::Module(9, type::kAvEncoder);
    encoder.block = encoded.block;
    Start(Rack({encoder, test::Module(10, type::kModC4)}));
    const std::string file = ReadFile(Write());
    const std::string section = AfterHeading(file, report::ModuleHeading("RkAV", 20));
    EXPECT_NE(section.find("> &lt;&amp;&gt; <"), std::string::npos);
    EXPECT_EQ(section.find("<&>"), std::string::npos);
    // The modulator section follows with its four tables.
    const std::string output = AfterHeading(file, report::ModuleHeading("RkModC4", 20));
    EXPECT_NE(output.find("<b> NIT </b>"), std::string::npos);
    EXPECT_EQ(output.find("<b> DECRYPT </b>"), std::string::npos); // no common-interface module: no span
    EXPECT_NE(output.find("<b> MODULATION </b>"), std::string::npos);
}

TEST_F(Report, LostLinkLeavesNoFileAndSaysWhy) {
    Start(mulvane::DemoRack());
    const std::filesystem::path path = folder / "report" / "aborted.html";
    responder.AnswerFileDialog({path.string()});
    sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
    sim.loop.RunFor(400); // a few modules in
    ASSERT_TRUE(report.IsReportRunning());
    // The serial device goes away: the next watchdog tick tears the link down, and a scan
    // finds the rack again.
    const int scans = sim.main.ScanCount();
    sim.main.OnDeviceChange();
    sim.RunUntilScans(scans + 1);
    EXPECT_FALSE(report.IsReportRunning());
    EXPECT_EQ(report.ReportPosition(), -1);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(FilesIn(folder / "report"), 0u) << "no temporary file is left";
    // The scan's messages replaced the report's; at its end it is shown again.
    EXPECT_EQ(sim.info.Message(), text::LocalizedToolText(text::ToolText::ReportNotWrittenLinkLost));
}

TEST_F(Report, RescanDuringTheReportEndsItWithoutTheEnd) {
    Start(mulvane::DemoRack());
    const std::filesystem::path path = folder / "report" / "rescan.html";
    responder.AnswerFileDialog({path.string()});
    sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
    sim.loop.RunFor(400);
    ASSERT_TRUE(report.IsReportRunning());
    sim.main.OnClick(rack::CQuorvelDlg::kRescanButton);
    sim.RunUntilScans(sim.main.ScanCount() + 1);
    EXPECT_FALSE(report.IsReportRunning());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(sim.info.Message(), text::LocalizedToolText(text::ToolText::ReportNotWrittenRescan));
    // The next report is complete.
    const std::string file = ReadFile(Write("again"));
    EXPECT_EQ(Count(file, "<h2 align =\"CENTER\""), static_cast<size_t>(sim.main.Image().moduleCount));
    EXPECT_NE(file.find(report::kFileEnd), std::string::npos);
}

TEST_F(Report, APageClosedBeforeItsFirstTickDoesNotHoldTheReport) {
    Start(mulvane::DemoRack());
    const std::filesystem::path path = folder / "report" / "closed.html";
    responder.AnswerFileDialog({path.string()});
    sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
    ASSERT_TRUE(page.IsChainOpen()); // the first tuner, before its first tick
    const int position = report.ReportPosition();
    sim.main.OnClick(rack::CQuorvelDlg::kSaveButton); // deselects: the page closes
    sim.loop.RunFor(CReport::kStallMs - 100);
    EXPECT_EQ(report.ReportPosition(), position);
    for (int k = 0; k < 400 && report.IsReportRunning(); ++k)
        sim.loop.RunFor(50);
    EXPECT_FALSE(report.IsReportRunning());
    const std::string file = ReadFile(path);
    EXPECT_EQ(Count(file, "<h2 align =\"CENTER\""), static_cast<size_t>(sim.main.Image().moduleCount));
    EXPECT_NE(file.find(report::kFileEnd), std::string::npos);
}

TEST_F(Report, WholeDemoRack) {
    Start(mulvane::DemoRack());
    const auto path = Write("demo.HTML");
    ASSERT_FALSE(report.IsReportRunning());
    EXPECT_EQ(path.filename(), "demo.HTML");
    const std::string file = ReadFile(path);
    EXPECT_EQ(Count(file, "<h2 align =\"CENTER\""), static_cast<size_t>(sim.main.Image().moduleCount));
    for (const char* fragment : {report::kHeader1, report::kHeader2, report::kHeader3, report::kTableStart,
                                 report::kTableEnd, report::kFileEnd})
        EXPECT_NE(file.find(fragment), std::string::npos) << fragment;
    // Every line ends in CR-LF, and only the texts that end a line do.
    for (size_t at = file.find('\n'); at != std::string::npos; at = file.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && file[at - 1] == '\r') << at;
    EXPECT_EQ(Count(file, "\r\n"), Count(file, "\n"));
    for (const char* tail : {"</td>\r\n", "</h2>\r\n"})
        EXPECT_GT(Count(file, tail), 0u) << tail;
    EXPECT_EQ(Count(file, "\r\n"), Count(file, "</td>\r\n") + Count(file, "</h2>\r\n"));
    // Every module with settings wrote its section.
    EXPECT_GT(Count(file, report::kTableStart), 10u);
    EXPECT_EQ(Count(file, report::kTableStart), Count(file, report::kTableEnd));

    // An HTML checker, when installed, finds no errors (the fixed fragments' old attributes
    // give warnings only).
    if (std::system("command -v tidy >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tidy not installed";
    const std::string command =
        "tidy -q -e '" + path.string() + "' > '" + (folder / "tidy.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string messages = ReadFile(folder / "tidy.txt");
    EXPECT_LT(WEXITSTATUS(status), 2) << messages;
    EXPECT_EQ(messages.find("Error:"), std::string::npos) << messages;
}

TEST_F(Report, AnExistingReportSurvivesATypedNameUntilTheQuestionIsAnsweredYes) {
    Start(Rack({}));
    std::filesystem::create_directories(folder / "report");
    const std::filesystem::path path = folder / "report" / "site1.html";
    std::ofstream(path, std::ios::binary) << "my notes";
    responder.AnswerFileDialog({(folder / "report" / "site1").string()});
    responder.AnswerMessageBox(ui::ModalResult::No, "site1.html already exists.");
    responder.AnswerFileDialog({});
    sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
    EXPECT_FALSE(report.IsReportRunning());
    EXPECT_EQ(ReadFile(path), "my notes");
    EXPECT_EQ(responder.Asked()[0].file.defaultExtension, "html");

    responder.AnswerFileDialog({(folder / "report" / "site1").string()});
    responder.AnswerMessageBox(ui::ModalResult::Yes, "site1.html already exists.");
    sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
    for (int k = 0; k < 400 && report.IsReportRunning(); ++k)
        sim.loop.RunFor(50);
    const std::string file = ReadFile(path);
    EXPECT_EQ(file.substr(0, std::string(report::kHeader1).size()), report::kHeader1);
    EXPECT_NE(file.find(report::kFileEnd), std::string::npos);
    EXPECT_EQ(responder.Unused(), 0u);
}

TEST_F(Report, AReportStoppedByTheRackGoingSilentLeavesThePreviousFileByteForByte) {
    Start(mulvane::DemoRack());
    const std::filesystem::path path = Write("rack1");
    const std::string previous = ReadFile(path);
    ASSERT_NE(previous.find(report::kFileEnd), std::string::npos);

    responder.AnswerFileDialog({(folder / "report" / "rack1").string()});
    responder.AnswerMessageBox(ui::ModalResult::Yes, "rack1.html already exists.");
    sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
    sim.loop.RunFor(400); // a few modules in
    ASSERT_TRUE(report.IsReportRunning());
    // The simulated rack stops: no module answers any more.
    for (const auto& module : sim.engine->Config().modules)
        sim.engine->GetFaults().DropAllAnswersOf(module.address);
    for (int k = 0; k < 400 && report.IsReportRunning(); ++k)
        sim.loop.RunFor(50);
    EXPECT_FALSE(report.IsReportRunning());
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_EQ(FilesIn(folder / "report"), 1u) << "no temporary file is left";
    EXPECT_EQ(sim.info.Message(), text::LocalizedToolText(text::ToolText::ReportNotWrittenLinkLost));
}

TEST_F(Report, AFullDiskIsShownAndLeavesNoFile) {
    Start(mulvane::DemoRack());
    // The disk fills up: the process may write only 2000 bytes per file.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 2000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto path = Write("full");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(report.IsReportRunning());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(FilesIn(folder / "report"), 0u);
    EXPECT_EQ(sim.info.Message(), "Report not written: cannot write " + path.string() + ": File too large");
    EXPECT_TRUE(sim.main.Item(rack::CQuorvelDlg::kModuleList).IsEnabled());
    EXPECT_EQ(sim.main.SelectedModule(), rack::kNoModule);
}

TEST_F(Report, APipeAsTheReportNameIsRefusedAtOnceByName) {
    Start(Rack({}));
    std::filesystem::create_directories(folder / "report");
    test::FifoWatchdog fifo((folder / "report" / "pipe.html").string());
    const auto took = fifo.Run([&] {
        responder.AnswerFileDialog({(folder / "report" / "pipe").string()});
        responder.AnswerMessageBox(ui::ModalResult::Yes, "pipe.html already exists.");
        sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
    });
    EXPECT_LT(took, test::FifoWatchdog::kPatience);
    EXPECT_FALSE(fifo.Rescued());
    EXPECT_FALSE(report.IsReportRunning());
    EXPECT_EQ(sim.info.Message(), text::LocalizedText(CReport::kTextCannotCreate) + " (" + fifo.Path() +
                                      " is a pipe (FIFO), not a regular file)");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo.Path()));
}

// The controller and `modules` common-interface modules, the last two of them satellite
// tuners (modules with settings).
mulvane::RackConfig RackOf(int modules) {
    std::vector<mulvane::ModuleConfig> list;
    for (int k = 0; k < modules; ++k)
        list.push_back(test::Module(static_cast<uint8_t>(9 + k),
                                    k >= modules - 2 ? type::kSat1 : type::kCommonInterface));
    mulvane::RackConfig rack = mulvane::DemoRack();
    rack.modules.resize(1);
    for (auto& m : list) {
        m.block = mulvane::DemoBlockFor(m.type);
        rack.modules.push_back(std::move(m));
    }
    return rack;
}

TEST_F(Report, ThirteenModulesFitTheListAndAreAllShown) {
    Start(RackOf(12));
    ASSERT_EQ(sim.main.Image().moduleCount, rack::CQuorvelDlg::kModuleRows);
    const auto path = Write();
    const std::string file = ReadFile(path);
    EXPECT_EQ(Count(file, "<h2 align =\"CENTER\""), 13u);
    EXPECT_EQ(Count(file, report::FileBytes(text::LocalizedToolText(text::ToolText::ReportModuleNotShown))),
              0u);
    EXPECT_EQ(sim.info.Message(), text::LocalizedText(CReport::kTextSaved) + path.string());
}

TEST_F(Report, AFifteenModuleRackGivesFifteenHeadingsTwoMarkedAsNotShown) {
    Start(RackOf(14));
    ASSERT_EQ(sim.main.Image().moduleCount, 15);
    const auto path = Write();
    ASSERT_FALSE(report.IsReportRunning());
    const std::string file = ReadFile(path);
    EXPECT_EQ(Count(file, "<h2 align =\"CENTER\""), 15u);
    const std::string notShown = text::LocalizedToolText(text::ToolText::ReportModuleNotShown);
    EXPECT_EQ(Count(file, report::FileBytes(notShown)), 2u);
    // The two past the list are the satellite tuners: their headings, the line, no settings.
    const size_t lastHeading = file.rfind("<h2 align =");
    const size_t secondLast = file.rfind("<h2 align =", lastHeading - 1);
    const std::string tail = file.substr(secondLast);
    EXPECT_EQ(Count(tail, report::FileBytes(notShown)), 2u);
    EXPECT_EQ(Count(tail, "RkSat1"), 2u);
    EXPECT_EQ(tail.find("F.E.C."), std::string::npos);
    EXPECT_NE(file.find(report::kFileEnd), std::string::npos);
    EXPECT_EQ(sim.info.Message(),
              "Report incomplete (settings of 2 modules not shown), saved into " + path.string());
    EXPECT_TRUE(sim.main.Item(rack::CQuorvelDlg::kModuleList).IsEnabled());
}

} // namespace
