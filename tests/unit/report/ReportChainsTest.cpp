// The installation report over several chains in a row: each module's tables hold its own
// page texts (no rate or address of the chain reported before), outside texts are escaped and
// written in ISO-8859-1, and a block that does not decode is said to be so.
#include "editor/CSatCofdm.h"
#include "platform/ModuleType.h"
#include "report/CReport.h"
#include "report/ReportText.h"
#include "settings/ModulatorBlock.h"
#include "sim/DemoBlocks.h"
#include "tests/unit/rack/MainWindowSupport.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/ScriptedResponder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kaptiv;

namespace {

struct ReportChains : ::testing::Test {
    test::MainWindowOnSim sim;
    editor::CSatCofdm page{sim.windows};
    report::CReport report{sim.main, &page};
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{sim.windows,
                                    [this](const std::string& what) { failures.push_back(what); }};
    std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                   ("kaptiv-report-chains-" + std::to_string(::getpid()) + "-" +
                                    ::testing::UnitTest::GetInstance()->current_test_info()->name());

    void SetUp() override {
        std::filesystem::remove_all(folder);
        text::SetLanguageIndex(0);
    }
    void TearDown() override {
        text::SetLanguageIndex(0);
        EXPECT_TRUE(failures.empty()) << failures.front();
        std::filesystem::remove_all(folder);
    }
    // Writes the report of a rack of these modules (after the demo controller) and returns
    // the file's bytes.
    std::string ReportOf(std::vector<mulvane::ModuleConfig> modules) {
        mulvane::RackConfig rack = mulvane::DemoRack();
        rack.modules.resize(1);
        for (auto& m : modules) {
            if (m.block.empty())
                m.block = mulvane::DemoBlockFor(m.type);
            m.answerDelayMinMs = 1;
            m.answerDelayMaxMs = 1;
            rack.modules.push_back(std::move(m));
        }
        sim.main.SetChainPage(&page);
        sim.main.SetInstallationReport(&report);
        sim.main.Image().applicationFolder = folder.string();
        sim.Open(std::move(rack));
        sim.main.Show(true);
        sim.RunUntilScans(1);
        EXPECT_EQ(sim.main.LastScan().outcome, rack::ScanOutcome::Connected);
        const std::filesystem::path path = folder / "report" / "chains";
        responder.AnswerFileDialog({path.string()});
        sim.main.OnClick(rack::CQuorvelDlg::kReportButton);
        for (int64_t t = 0; t < 30000 && report.IsReportRunning(); t += 50)
            sim.loop.RunFor(50);
        EXPECT_FALSE(report.IsReportRunning());
        std::ifstream in(report::WithHtmlExtension(path.string()), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // What the file holds after the heading of the module named (the n-th such heading).
    static std::string Section(const std::string& file, const std::string& name) {
        const std::string heading = report::FileBytes(report::ModuleHeading(name, 20));
        const size_t at = file.find(heading);
        if (at == std::string::npos)
            return "<no heading " + name + ">";
        const size_t from = at + heading.size();
        size_t to = file.find("<h2 align =", from);
        if (to == std::string::npos)
            to = file.find(report::kFileEnd, from);
        return file.substr(from, to == std::string::npos ? std::string::npos : to - from);
    }
};

// The RATE cell of a tuner's section.
std::string RateCell(const std::string& section) {
    const size_t at = section.find("<b> RATE </b>");
    if (at == std::string::npos)
        return "<no rate table>";
    const size_t open = section.find("<font size=\"2\">", at + 13);
    const size_t close = section.find("</font>", open);
    return section.substr(open + 15, close - open - 15);
}

TEST_F(ReportChains, EachChainReportsItsOwnRate) {
    auto qam = test::Module(11, type::kModC2);
    // Channel 1 carries 16261 kb/s of 40000, channel 2 nothing.
    qam.readData = std::vector<uint8_t>(52, 0);
    const uint8_t used[] = {0x00, 0xF8, 0x1F, 0x88};
    const uint8_t capacity[] = {0x02, 0x62, 0x5A, 0x00};
    std::copy(std::begin(used), std::end(used), qam.readData.begin() + 4);
    std::copy(std::begin(capacity), std::end(capacity), qam.readData.begin() + 8);
    const std::string file =
        ReportOf({test::Module(10, type::kTerrestrial), qam, test::Module(12, type::kSat2),
                  test::Module(13, type::kIpStreamer), test::Module(14, type::kSat2_0)});
    EXPECT_EQ(RateCell(Section(file, "QVXCT2")), " 16261 kb/s ");
    const std::string afterStreamer = RateCell(Section(file, "RkSat2"));
    EXPECT_EQ(afterStreamer.find("16261"), std::string::npos) << afterStreamer;
    EXPECT_NE(afterStreamer.find("kb/s"), std::string::npos) << afterStreamer; // the streamer's own rate
    // Without an output there is no rate to show.
    EXPECT_EQ(RateCell(Section(file, "RkSat2.0")), "  ");
}

TEST_F(ReportChains, NetworkNameIsEscapedAndWrittenInLatin1) {
    auto modulator = test::Module(11, type::kModT2);
    auto values = settings::DecodeModulatorBlock(type::kModT2, mulvane::DemoBlockFor(type::kModT2));
    ASSERT_TRUE(values.Ok()) << values.error;
    values.values.networkName = U"<A&B> \u00FF";
    auto encoded = settings::EncodeModulatorBlock(type::kModT2, values.values, {});
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    modulator.block = encoded.block;
    const std::string file = ReportOf({test::Module(10, type::kSat1), modulator});
    const std::string section = Section(file, "RkModT2");
    EXPECT_NE(section.find("> &lt;A&amp;B&gt; \xFF <"), std::string::npos) << section;
    EXPECT_EQ(section.find("<A&B>"), std::string::npos);
    EXPECT_EQ(section.find("\xC3\xBF"), std::string::npos); // not UTF-8
}

TEST_F(ReportChains, ABlockThatDoesNotDecodeIsSaidToBeSo) {
    // A single satellite tuner listing 101 services: more than its block holds.
    auto tuner = test::Module(10, type::kSat1);
    tuner.block = {0x06, 0x4C, 0x55, 0xF0, 0x0F, 101};
    for (int i = 0; i < 101; ++i)
        tuner.block.insert(tuner.block.end(), {0x0C, uint8_t(i), 0x00});
    const std::string file = ReportOf({tuner, test::Module(11, type::kModT2)});
    const std::string section = Section(file, "RkSat1");
    EXPECT_NE(section.find(report::FileBytes(text::LocalizedToolText(text::ToolText::BlockNotDecoded))),
              std::string::npos)
        << section;
    EXPECT_EQ(section.find("Configuration"), std::string::npos);
    // The output of the same chain decodes: its tables are there.
    EXPECT_NE(Section(file, "RkModT2").find("NIT"), std::string::npos);
}

} // namespace
