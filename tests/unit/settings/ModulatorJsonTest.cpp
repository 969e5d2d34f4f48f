#include "tools/json/ModulatorJson.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "settings/ModulatorBlock.h"

namespace kaptiv::tools {
namespace {

using namespace kaptiv::settings;

std::vector<uint8_t> ReadFixture(uint8_t type) {
    std::ifstream file(std::string(KAPTIV_BLOCK_FIXTURES) + "/type-" + std::to_string(type) + ".hex");
    std::vector<uint8_t> bytes;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line.substr(0, line.find('#')));
        std::string byte;
        while (in >> byte)
            bytes.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    return bytes;
}

TEST(ModulatorJson, NamesEveryFieldAndShowsTheNitDecodedAndAsHex) {
    const auto decoded = DecodeModulatorBlock(type::kModT4, ReadFixture(type::kModT4));
    ASSERT_TRUE(decoded.Ok());
    const nlohmann::json j = ModulatorToJson(type::kModT4, decoded.values);
    EXPECT_EQ(j["frequencyKHz"], 474000);
    EXPECT_EQ(j["channelFrequenciesKHz"], nlohmann::json({474000, 482000, 490000, 498000}));
    EXPECT_EQ(j["codeRateText"], "2/3");
    EXPECT_EQ(j["constellationText"], "QAM64");
    EXPECT_EQ(j["levelDb"], -3);
    EXPECT_EQ(j["networkName"], "R\u00e9sidence Les Tilleuls");
    EXPECT_EQ(j["lcnFlavour"], "EACEM");
    EXPECT_FALSE(j.contains("symbolRateKSps"));
    EXPECT_EQ(j["services"][7]["outputServiceId"], 1900);
    EXPECT_EQ(j["services"][1]["descrambledUpstream"], true);
    const nlohmann::json& nit = j["storedNit"];
    EXPECT_EQ(nit["hex"].get<std::string>().substr(0, 8), "40 F0 BA");
    EXPECT_EQ(nit["fields"]["crcOk"], true);
    EXPECT_EQ(nit["fields"]["transportStreams"][0]["transportStreamId"], 1063);
    EXPECT_EQ(nit["fields"]["transportStreams"][0]["descriptors"][1]["channels"][3]["serviceId"], 1900);
    EXPECT_EQ(nit["fields"]["transportStreams"][0]["descriptors"][2]["centreFrequencyHz"], 490000000);
}

TEST(ModulatorJson, ReadsBackToTheSameBlockForEveryType) {
    for (uint8_t type : {type::kModT1, type::kModT2, type::kModT4, type::kModC4, type::kModC2}) {
        const std::vector<uint8_t> block = ReadFixture(type);
        const auto decoded = DecodeModulatorBlock(type, block);
        ASSERT_TRUE(decoded.Ok());
        // Through text, as kaptiv-config does.
        const auto text = ModulatorToJson(type, decoded.values).dump();
        ModulatorValues values;
        std::string error;
        ASSERT_TRUE(ModulatorFromJson(type, nlohmann::json::parse(text), values, error)) << error;
        const EncodeResult encoded =
            EncodeModulatorBlock(type, values, ModulatorEncodeContext::FromStoredBlock(block));
        ASSERT_TRUE(encoded.Ok()) << encoded.error;
        EXPECT_EQ(encoded.block, block) << "type " << int(type);
    }
}

TEST(ModulatorJson, RefusesValuesOutsideTheirFields) {
    const auto refuses = [](const char* text, const char* key) {
        ModulatorValues values;
        std::string error;
        const bool ok = ModulatorFromJson(type::kModT2, nlohmann::json::parse(text), values, error);
        EXPECT_FALSE(ok) << text;
        EXPECT_NE(error.find(key), std::string::npos) << error;
    };
    refuses(R"({"levelStep": 31})", "levelStep");
    refuses(R"({"nitVersion": 32})", "nitVersion");
    refuses(R"({"networkId": 65536})", "networkId");
    refuses(R"({"frequencyKHz": "474000"})", "frequencyKHz");
    refuses(R"({"lcnFlavour": "NORDIG"})", "lcnFlavour");
    refuses(R"({"services": [{"serviceId": 1, "channel": 16}]})", "services[0].channel");
    refuses(R"({"services": [{"channel": 1}]})", "services[0].serviceId");
    refuses(R"({"transportStreamIds": [1, 2, 3, 4, 5]})", "transportStreamIds");

    // Absent keys keep the values given; a service without output id leaves under its own id.
    ModulatorValues values;
    values.networkId = 77;
    std::string error;
    ASSERT_TRUE(ModulatorFromJson(type::kModT2, nlohmann::json::parse(R"({"services": [{"serviceId": 9}]})"),
                                  values, error))
        << error;
    EXPECT_EQ(values.networkId, 77);
    ASSERT_EQ(values.services.size(), 1u);
    EXPECT_EQ(values.services[0].outputServiceId, 9);
}

} // namespace
} // namespace kaptiv::tools
