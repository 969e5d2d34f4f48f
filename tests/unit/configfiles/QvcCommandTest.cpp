// kaptiv-config qvc as an installer runs it, and the simulator's own reader of the same files.
#include "configfiles/ConfigFile.h"
#include "sim/ConfigFileRack.h"
#include "tools/json/QvcJson.h"

#include "tests/unit/tools/ConfigCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace kaptiv;

namespace {

using kaptiv::testing::CommandRun;
using kaptiv::testing::RunConfig;

std::string Corpus(const char* name) {
    return std::string(KAPTIV_CONFIG_CORPUS) + "/" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct QvcCommand : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kaptiv-qvc-cli-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Temp(const std::string& name) const { return (dir / name).string(); }
};

} // namespace

TEST_F(QvcCommand, DumpThenBuildGivesTheSameBytesAndEditsAreEncoded) {
    const std::string demo = Corpus("demo-rack.qvc");
    const CommandRun dumped = RunConfig("qvc dump " + demo + " > " + Temp("demo.json"));
    ASSERT_EQ(dumped.status, 0) << dumped.out;
    std::ifstream in(Temp("demo.json"));
    nlohmann::json json = nlohmann::json::parse(in);
    ASSERT_EQ(json["modules"].size(), 12u);
    EXPECT_EQ(json["modules"][1]["module"], "RkSat2.0");
    EXPECT_EQ(json["modules"][1]["type"], 7);
    EXPECT_TRUE(json["modules"][1]["block"].is_object());
    EXPECT_FALSE(json["modules"][0].contains("block")) << "the controller has no block layout";

    const CommandRun built = RunConfig("qvc build " + Temp("demo.json") + " --output " + Temp("again.qvc"));
    ASSERT_EQ(built.status, 0) << built.out;
    EXPECT_EQ(ReadBytes(Temp("again.qvc")), ReadBytes(demo));
    EXPECT_EQ(RunConfig("qvc build - < " + Temp("demo.json") + " | cmp - " + demo).status, 0);

    // An edited block is encoded: the single tuner's symbol rate.
    nlohmann::json& single = json["modules"][8];
    ASSERT_EQ(single["type"], 4);
    std::string before = single.dump();
    ASSERT_TRUE(single["block"].contains("sections")) << before;
    single["block"]["sections"][0]["symbolRate"] = 12345;
    std::ofstream(Temp("edited.json")) << json.dump();
    ASSERT_EQ(RunConfig("qvc build " + Temp("edited.json") + " --output " + Temp("edited.qvc")).status, 0);
    const auto read = configfiles::ParseConfigFile(ReadBytes(Temp("edited.qvc")));
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(read.entries[8].block[2] << 8 | read.entries[8].block[3], 12345);
    EXPECT_EQ(read.entries[1], configfiles::ParseConfigFile(ReadBytes(demo)).entries[1]);
}

TEST_F(QvcCommand, CheckPrintsTheSummaryAndSaysWhetherTheRackFits) {
    const std::string file = Corpus("two-modules-49.qvc");
    CommandRun run = RunConfig("qvc check " + file);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, 41), "Short Description :\r\nSlot 0 : RkPSU\r\n  No");
    EXPECT_NE(run.out.find("Slot 1 : RkSat2.0\r\nSat. : A\r\n"), std::string::npos) << run.out;

    run = RunConfig("qvc check " + file + " --rack " + file + " --language 1");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1),
              "La configuration chargée correspond à l'installation actuelle.\r\n");

    std::ofstream(Temp("rack.json")) << R"({"modules": [{"type": 0}, {"type": 7}, {"type": 3}]})";
    run = RunConfig("qvc check " + file + " --rack " + Temp("rack.json"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(0, 58), "LOADED CONFIGURATION DOES NOT MATCH CURRENT INSTALLATION !");

    std::vector<uint8_t> cut = ReadBytes(file);
    cut.pop_back();
    std::ofstream(Temp("cut.qvc"), std::ios::binary).write(reinterpret_cast<const char*>(cut.data()), 48);
    run = RunConfig("qvc check " + Temp("cut.qvc"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("ends inside the 40-byte block of entry 1"), std::string::npos) << run.out;
    EXPECT_EQ(RunConfig("qvc frobnicate").status, 2);
}

TEST(QvcJson, BuildRefusesWhatCannotBeAFile) {
    std::string error;
    EXPECT_TRUE(tools::QvcFromJson(nlohmann::json::parse(R"({"modules": [{"type": 300}]})"), error).empty());
    EXPECT_EQ(error, "module 0: type 300 is not a byte");
    EXPECT_TRUE(tools::QvcFromJson(nlohmann::json::parse(R"({"modules": [{"type": 0, "hex": "0"}]})"), error)
                    .empty());
    EXPECT_EQ(error, "module 0: a hex byte needs two digits");
    nlohmann::json sixteen = {{"modules", nlohmann::json::array()}};
    for (int i = 0; i < 16; ++i)
        sixteen["modules"].push_back({{"type", 3}});
    EXPECT_TRUE(tools::QvcFromJson(sixteen, error).empty());
    EXPECT_EQ(error, "16 modules, at most 15 fit");
    const nlohmann::json big = {{"modules", {{{"type", 6}, {"hex", std::string(1025 * 2, 'A')}}}}};
    EXPECT_TRUE(tools::QvcFromJson(big, error).empty());
    EXPECT_NE(error, "");
}

TEST(SimConfigRack, BuildsTheRackOfAFileWithItsOwnReader) {
    std::string error;
    const auto rack = mulvane::RackFromConfigFile(Corpus("demo-rack.qvc"), error);
    ASSERT_TRUE(rack) << error;
    const auto file = configfiles::ParseConfigFile(ReadBytes(Corpus("demo-rack.qvc")));
    ASSERT_EQ(rack->modules.size(), file.entries.size());
    for (size_t i = 0; i < file.entries.size(); ++i) {
        EXPECT_EQ(rack->modules[i].type, file.entries[i].type);
        EXPECT_EQ(rack->modules[i].block, file.entries[i].block);
        EXPECT_EQ(rack->modules[i].address, i == 0 ? 0 : 9 + i);
    }
    // Written back out as the modules hold their blocks: the same file, then the changed block.
    mulvane::RackEngine engine(*rack);
    const auto saved = mulvane::ConfigBytesOfRack(engine, error);
    ASSERT_TRUE(saved) << error;
    EXPECT_EQ(*saved, ReadBytes(Corpus("demo-rack.qvc")));
    engine.SetBlock(12, {1, 2, 3});
    const auto changed = mulvane::ConfigBytesOfRack(engine, error);
    ASSERT_TRUE(changed) << error;
    const auto back = configfiles::ParseConfigFile(*changed);
    ASSERT_TRUE(back.Ok());
    EXPECT_EQ(back.entries[3].block, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(back.entries[1], file.entries[1]);

    const std::vector<uint8_t> notController = {7, 0, 0};
    EXPECT_FALSE(mulvane::RackFromConfigBytes(notController, error));
    EXPECT_EQ(error, "the first entry must be the rack controller (type 0)");
    const std::vector<uint8_t> cut = {0, 0, 3, 1};
    EXPECT_FALSE(mulvane::RackFromConfigBytes(cut, error));
    EXPECT_EQ(error, "entry 0: the file ends inside its 3-byte block");
    std::vector<uint8_t> sixteen = {0, 0, 0};
    for (int i = 0; i < 15; ++i)
        sixteen.insert(sixteen.end(), {3, 0, 0});
    EXPECT_FALSE(mulvane::RackFromConfigBytes(sixteen, error));
    EXPECT_EQ(error, "more than 15 modules");
    EXPECT_FALSE(mulvane::RackFromConfigBytes({}, error));
}
