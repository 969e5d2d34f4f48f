// The exact text of `kaptiv-config block decode` for every block the repository holds, against
// files captured once, and the exact message of every refusal of `block encode`: the JSON forms
// are a contract with installers' scripts, so a field that moves, changes kind or loses its text
// must show up here. Each captured text also encodes back to the very bytes it came from.
#include "tools/json/BlockJson.h"

#include "tests/unit/settings/BlockTestSupport.h"

#include "tests/unit/tools/ConfigCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace kaptiv::tools {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using kaptiv::testing::CommandRun;
using kaptiv::testing::RunConfig;

// "type-7-short.hex" and "edge-type-7.hex" are blocks of module type 7.
int TypeOfFile(const std::string& name) {
    const auto at = name.find("type-");
    return at == std::string::npos ? -1 : std::atoi(name.c_str() + at + 5);
}

struct GoldenCase {
    fs::path block;  // hex text
    fs::path golden; // the captured JSON text
    int type;
};

// The simulator's fixtures (the demo rack's blocks) and the hand-made edge blocks beside the
// captured texts: codes outside their lists, accented names, frequencies outside the band.
std::vector<GoldenCase> GoldenCases() {
    std::vector<GoldenCase> cases;
    for (const fs::path folder : {fs::path(KAPTIV_BLOCK_FIXTURES), fs::path(KAPTIV_GOLDEN)}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() != ".hex")
                continue;
            const std::string stem = entry.path().stem().string();
            cases.push_back({entry.path(), fs::path(KAPTIV_GOLDEN) / (stem + ".json"), TypeOfFile(stem)});
        }
    }
    std::sort(cases.begin(), cases.end(), [](const auto& a, const auto& b) { return a.block < b.block; });
    return cases;
}

TEST(BlockJsonGolden, EveryBlockOfTheRepositoryIsCovered) {
    const auto cases = GoldenCases();
    // 16 fixtures and 7 edge blocks, every type with a block among them.
    EXPECT_EQ(cases.size(), 23u);
    std::set<int> types;
    for (const auto& c : cases) {
        EXPECT_TRUE(fs::exists(c.golden)) << "no captured text for " << c.block;
        types.insert(c.type);
    }
    EXPECT_EQ(types, (std::set<int>{1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
}

TEST(BlockJsonGolden, DecodePrintsTheCapturedTextByteForByte) {
    for (const auto& c : GoldenCases()) {
        const CommandRun run =
            RunConfig("block decode --type " + std::to_string(c.type) + " " + c.block.string());
        ASSERT_EQ(run.status, 0) << c.block << ": " << run.out;
        EXPECT_EQ(run.out, ReadFile(c.golden)) << c.block;
    }
}

TEST(BlockJsonGolden, TheCapturedTextEncodesToTheSameBytes) {
    for (const auto& c : GoldenCases()) {
        const auto type = static_cast<uint8_t>(c.type);
        const auto block = settings::test::Hex(ReadFile(c.block));
        const auto encoded = BlockFromJson(type, nlohmann::json::parse(ReadFile(c.golden)));
        ASSERT_TRUE(encoded.Ok()) << c.block << ": " << encoded.error;
        if (c.block.stem() == "type-7-short") {
            // A block that ends before the lock settings is written back whole: its bytes come
            // first, the fields the older firmware lacked follow.
            ASSERT_GT(encoded.block.size(), block.size());
            EXPECT_TRUE(settings::test::SameBytes(
                block, {encoded.block.begin(), encoded.block.begin() + block.size()}));
        } else {
            EXPECT_TRUE(settings::test::SameBytes(block, encoded.block)) << c.block;
        }
        // And the library renders what the command prints.
        const auto decoded = BlockToJson(type, block);
        ASSERT_TRUE(decoded.Ok()) << decoded.error;
        EXPECT_EQ(decoded.json, nlohmann::json::parse(ReadFile(c.golden))) << c.block;
    }
}

struct Refusal {
    int type;
    const char* json;
    const char* error;
};

// Messages name the field by its path; the modulator keeps its own wording.
constexpr Refusal kRefusals[] = {
    {1, R"({"sections":[{"fecIndex":300}]})", "sections[0].fecIndex: expected an integer from -14 to 241"},
    {1, R"({"sections":[{"fecIndex":"2"}]})", "sections[0].fecIndex: expected an integer"},
    {1, R"({"sections":[{"frequencyMHz":-1}]})",
     "sections[0].frequencyMHz: expected an integer from 0 to 1000000"},
    {1, R"({"sections":[{},{}]})", "sections: at most 1 entries"},
    {1, R"({"sections":{}})", "sections: expected an array"},
    {1, R"({"sections":[5]})", "sections[0]: expected an object"},
    {1, R"({"type":4})", "type: does not match module type 1"},
    {1, R"({"type":"1"})", "type: does not match module type 1"},
    {1, R"({"page":{"lockTimeoutChecked":1}})", "page.lockTimeoutChecked: expected true or false"},
    {1, R"({"page":3})", "page: expected an object"},
    {1, R"({"sections":[{"frequencyMHz":5000}]})",
     "section A: frequency 5000 MHz cannot be written (the block holds 0 to 32767 MHz above the local "
     "oscillator)"},
    {10, R"({"sections":[{"horizontal":"yes"}]})", "sections[0].horizontal: expected true or false"},
    {7, R"({"sections":[{},{"services":[{"serviceId":70000}]}]})",
     "sections[1].services[0].serviceId: expected an integer from 0 to 65535"},
    {7, R"({"sections":[{},{"services":[{"cam":1.5}]}]})",
     "sections[1].services[0].cam: expected an integer"},
    {7, R"({"sections":[{},{},{},{}]})", "sections: at most 3 entries"},
    {7, R"({"keptBytes":"01 02"})", "keptBytes: expected 8 bytes in hexadecimal (\"0A 1B ...\")"},
    {7, R"({"keptBytes":"0G 01 02 03 04 05 06 07"})",
     "keptBytes: expected 8 bytes in hexadecimal (\"0A 1B ...\")"},
    {7, R"({"lockWatchdog":1})", "lockWatchdog: expected true or false"},
    {7, R"({"schedule":[{"fileName":7}]})", "schedule[0].fileName: expected a text"},
    {7, R"({"schedule":[{"start":-3}]})", "schedule[0].start: expected an integer from 0 to 4294967295"},
    {7, R"({"schedule":[1]})", "schedule[0]: expected an object"},
    {7, R"({"terrestrial":[{},{},{},{},{},{},{},{},{}]})", "terrestrial: at most 2 entries"},
    {7, R"({"terrestrial":[{"bandwidthMHz":true}]})", "terrestrial[0].bandwidthMHz: expected an integer"},
    {7, R"({"switchB":256})", "switchB: expected an integer from 0 to 255"},
    {7, R"({"streamingServiceId":18446744073709551615})",
     "streamingServiceId: expected an integer from 0 to 65535"},
    {9, R"({"channels":[{"name":42}]})", "channels[0].name: expected a text"},
    {9, R"({"type":14})", "type: does not match module type 9"},
    {9, R"({"counter":256})", "counter: expected an integer from 0 to 255"},
    {9, R"({"channels":[{"unseen":[1,2]}]})", "channels[0].unseen: expected 3 words"},
    {9, R"({"channels":[{"unseen":[1,2,70000]}]})",
     "channels[0].unseen[2]: expected an integer from 0 to 65535"},
    {9, R"({"channels":[{"unseen":"x"}]})", "channels[0].unseen: expected an array"},
    {9, R"({"passThrough":[[1],[2],[3],[4],[5]]})", "passThrough: at most 3 entries"},
    {9, R"({"passThrough":[7]})", "passThrough[0]: expected an array of service ids"},
    {9, R"({"passThrough":[[-1]]})", "passThrough[0][0]: expected an integer from 0 to 65535"},
    {9, R"({"page":{"changed":"no"}})", "page.changed: expected true or false"},
    {9, R"({"channels":[1]})", "channels[0]: expected an object"},
    {9, R"([])", ": expected an object"},
    {14, R"({"channels":[{"unseen":[1,2]}]})", "channels[0].unseen: expected 4 words"},
    {14, R"({"channels":[{"audioCoding":-1}]})",
     "channels[0].audioCoding: expected an integer from 0 to 255"},
    {14, R"({"passThrough":[[1],[2],[3],[4],[5],[6],[7],[8],[9]]})", "passThrough: at most 5 entries"},
    {14, R"({"type":9})", "type: does not match module type 14"},
    {13, R"({"address":"1.2.3.256"})", "address: expected a dotted address \"a.b.c.d\" of numbers 0 to 255"},
    {13, R"({"address":"1.2.3"})", "address: expected a dotted address \"a.b.c.d\" of numbers 0 to 255"},
    {13, R"({"mask":"1.2.3.4x"})", "mask: expected a dotted address \"a.b.c.d\" of numbers 0 to 255"},
    {13, R"({"mac":"02:4D:56:13:2C"})", "mac: expected 6 bytes in hexadecimal (\"0A 1B ...\")"},
    {13, R"({"services":[{"serviceId":1,"stream":17}]})",
     "services[0].stream: expected an integer from 0 to 16"},
    {13, R"({"qos":9})", "qos: expected an integer from 0 to 4"},
    {13, R"({"streams":[{"port":70000}]})", "streams[0].port: expected an integer from 0 to 65535"},
    {13, R"({"identification":false})", "identification: expected a text"},
    {13, R"({"dhcp":0})", "dhcp: expected true or false"},
    {13, R"({"type":13.0})", "type: does not match module type 13"},
    {13, R"(5)", ": expected an object"},
    {6, R"({"codeRate":-1})", "codeRate is outside 0 to 255"},
    {6, R"({"codeRate":"1"})", "codeRate is not an integer"},
    {6, R"({"levelStep":0})", "levelStep is outside 1 to 30"},
    {6, R"({"nitVersion":32})", "nitVersion is outside 0 to 31"},
    {6, R"({"networkName":5})", "networkName is not a string"},
    {6, R"({"removeCatEmm":"true"})", "removeCatEmm is not true or false"},
    {6, R"({"lcnFlavour":"NORDIG"})", "lcnFlavour is neither \"EACEM\" nor \"ITC\""},
    {6, R"({"transportStreamIds":[1,2,3,4,5]})", "transportStreamIds is not an array of at most 4 ids"},
    {6, R"({"transportStreamIds":[70000]})", "transportStreamIds holds a value that is not a 16-bit id"},
    {6, R"({"services":{}})", "services is not an array"},
    {6, R"({"services":[3]})", "services[0] is not an object"},
    {6, R"({"services":[{"channel":1}]})", "services[0].serviceId is missing"},
    {6, R"({"services":[{"serviceId":1,"channel":16}]})", "services[0].channel is outside 0 to 15"},
    {6, R"({"services":[{"serviceId":1,"hdLogicalChannel":-2}]})",
     "services[0].hdLogicalChannel is outside 0 to 65535"},
    {11, R"({"symbolRateKSps":70000})", "symbolRateKSps is outside 0 to 65535"},
    {2, R"({"frequencyKHz":4294967296})", "frequencyKHz is outside 0 to 4294967295"},
    {2, R"([])", "the modulator values must be a JSON object"},
    {3, R"({})", "module type 3 has no parameter block to edit"},
};

TEST(BlockJsonGolden, RefusalsKeepTheirExactMessages) {
    for (const Refusal& r : kRefusals) {
        const auto result = BlockFromJson(static_cast<uint8_t>(r.type), nlohmann::json::parse(r.json));
        EXPECT_FALSE(result.Ok()) << r.json;
        EXPECT_EQ(result.error, r.error) << "type " << r.type << " " << r.json;
    }
}

} // namespace
} // namespace kaptiv::tools
