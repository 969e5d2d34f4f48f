// kaptiv-config block decode/encode as a user runs it: through files, stdin and exit codes.
#include "BlockTestSupport.h"

#include "tests/unit/tools/ConfigCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using kaptiv::settings::test::Fixture;
using kaptiv::settings::test::Hex;
using kaptiv::settings::test::SameBytes;

using kaptiv::testing::CommandRun;
using kaptiv::testing::RunConfig;

std::string Fixtures(const char* name) {
    return std::string(KAPTIV_BLOCK_FIXTURES) + "/" + name;
}

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + "codec_a_" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(BlockCommand, DecodeThenEncodeGivesTheFixtureBack) {
    for (const auto& [type, file] :
         {std::pair{"7", "type-7.hex"}, {"13", "type-13.hex"}, {"14", "type-14.hex"}}) {
        const CommandRun decoded =
            RunConfig("block decode --type " + std::string(type) + " " + Fixtures(file));
        ASSERT_EQ(decoded.status, 0) << decoded.out;
        const std::string json = WriteTemp(std::string(file) + ".json", decoded.out);
        const CommandRun encoded = RunConfig("block encode --type " + std::string(type) + " " + json);
        ASSERT_EQ(encoded.status, 0) << encoded.out;
        EXPECT_TRUE(SameBytes(Fixture(file), Hex(encoded.out))) << file;

        // The raw form reads back the same through standard input.
        const std::string raw = ::testing::TempDir() + "codec_a_raw.bin";
        ASSERT_EQ(
            RunConfig("block encode --raw --type " + std::string(type) + " " + json + " > " + raw).status, 0);
        const CommandRun again = RunConfig("block decode --raw --type " + std::string(type) + " - < " + raw);
        ASSERT_EQ(again.status, 0) << again.out;
        EXPECT_EQ(again.out, decoded.out);
    }
}

TEST(BlockCommand, BadInputIsRefusedWithAMessage) {
    const CommandRun notJson = RunConfig("block encode --type 9 " + WriteTemp("bad.json", "{\"counter\": "));
    EXPECT_EQ(notJson.status, 1);
    EXPECT_NE(notJson.out.find("not valid JSON"), std::string::npos) << notJson.out;

    const CommandRun oddHex = RunConfig("block decode --type 1 " + WriteTemp("odd.hex", "06 4C 5"));
    EXPECT_EQ(oddHex.status, 1);
    EXPECT_NE(oddHex.out.find("hex"), std::string::npos) << oddHex.out;

    // Without --raw, text that is not hex is refused with its line, never decoded as bytes.
    const CommandRun garbage = RunConfig("block decode --type 7 - < " + WriteTemp("zz.txt", "zz\n"));
    EXPECT_EQ(garbage.status, 1);
    EXPECT_NE(garbage.out.find("line 1: 'z' is not hex text"), std::string::npos) << garbage.out;
    EXPECT_EQ(garbage.out.find("{"), std::string::npos) << garbage.out;
    const CommandRun late =
        RunConfig("block decode --type 1 " + WriteTemp("late.hex", "# a block\n06 4C\n55 F0 0F 0G\n"));
    EXPECT_EQ(late.status, 1);
    EXPECT_NE(late.out.find("line 3: 'G'"), std::string::npos) << late.out;

    const CommandRun tooLong =
        RunConfig("block decode --type 13 " + WriteTemp("long.hex", std::string(1025 * 2, '0')));
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.out.find("1024"), std::string::npos) << tooLong.out;

    EXPECT_EQ(RunConfig("block decode --type 3 " + Fixtures("type-1.hex")).status, 1);
    EXPECT_EQ(RunConfig("block decode " + Fixtures("type-1.hex")).status, 2);
    EXPECT_EQ(RunConfig("block decode --type x1 " + Fixtures("type-1.hex")).status, 2);
    EXPECT_EQ(RunConfig("block frobnicate --type 1").status, 2);
    EXPECT_EQ(RunConfig("block decode --type 1 /nonexistent/block.hex").status, 1);
}

} // namespace
