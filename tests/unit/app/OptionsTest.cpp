#include "app/Options.h"

#include <gtest/gtest.h>

using namespace kaptiv::app;

namespace {

ParsedOptions Parse(std::vector<std::string_view> arguments) {
    return ParseOptions(arguments);
}

} // namespace

TEST(Options, DefaultsWithoutArguments) {
    const ParsedOptions parsed = Parse({});
    ASSERT_TRUE(parsed.Ok());
    EXPECT_FALSE(parsed.options.profilePath.has_value());
    EXPECT_EQ(parsed.options.listenAddress, "127.0.0.1");
    EXPECT_EQ(parsed.options.listenPort, 0);
    EXPECT_TRUE(parsed.options.openBrowser);
    EXPECT_FALSE(parsed.options.serialDevices.has_value());
    EXPECT_FALSE(parsed.options.showHelp || parsed.options.showVersion);
}

TEST(Options, EveryOptionInBothSpellings) {
    const ParsedOptions parsed =
        Parse({"--profile", "/tmp/p.ini", "--listen=::1", "--ui-port", "8080", "--no-browser",
               "--serial=/dev/pts/4,/dev/ttyUSB0", "--version", "-h"});
    ASSERT_TRUE(parsed.Ok()) << parsed.error;
    EXPECT_EQ(parsed.options.profilePath, std::filesystem::path("/tmp/p.ini"));
    EXPECT_EQ(parsed.options.listenAddress, "::1");
    EXPECT_EQ(parsed.options.listenPort, 8080);
    EXPECT_FALSE(parsed.options.openBrowser);
    EXPECT_EQ(parsed.options.serialDevices, (std::vector<std::string>{"/dev/pts/4", "/dev/ttyUSB0"}));
    EXPECT_TRUE(parsed.options.showVersion);
    EXPECT_TRUE(parsed.options.showHelp);

    const char* argv[] = {"kaptiv", "--listen", "0.0.0.0", "--ui-port=65535"};
    const ParsedOptions fromArgv = ParseOptions(4, argv);
    ASSERT_TRUE(fromArgv.Ok()) << fromArgv.error;
    EXPECT_EQ(fromArgv.options.listenAddress, "0.0.0.0");
    EXPECT_EQ(fromArgv.options.listenPort, 65535);
}

TEST(Options, BadCommandLinesNameTheirFault) {
    struct Case {
        std::vector<std::string_view> arguments;
        const char* expectedInError;
    };
    const Case cases[] = {
        {{"--ui-port", "65536"}, "--ui-port: \"65536\""},
        {{"--ui-port=-1"}, "--ui-port"},
        {{"--ui-port", "80x"}, "--ui-port"},
        {{"--ui-port="}, "--ui-port"},
        {{"--ui-port"}, "--ui-port needs a value"},
        {{"--listen", "localhost"}, "is not an IPv4 or IPv6 address"},
        {{"--listen", "1.2.3.256"}, "--listen"},
        {{"--serial", "/dev/a,,/dev/b"}, "--serial"},
        {{"--serial="}, "--serial"},
        {{"--serial", "/dev/a,"}, "--serial"},
        {{"--profile="}, "--profile needs a file name"},
        {{"--no-browser=yes"}, "--no-browser takes no value"},
        {{"--browser"}, "unknown option --browser"},
        {{"-x"}, "unknown option -x"},
        {{"extra"}, "unexpected argument \"extra\""},
    };
    for (const Case& c : cases) {
        const ParsedOptions parsed = Parse(c.arguments);
        EXPECT_FALSE(parsed.Ok()) << c.expectedInError;
        EXPECT_NE(parsed.error.find(c.expectedInError), std::string::npos) << parsed.error;
    }
}

TEST(Options, TraceNamesAFile) {
    const ParsedOptions parsed = Parse({"--trace", "support.txt"});
    ASSERT_TRUE(parsed.Ok()) << parsed.error;
    EXPECT_EQ(parsed.options.tracePath, std::filesystem::path("support.txt"));
    EXPECT_FALSE(Parse({}).options.tracePath.has_value());
    EXPECT_EQ(Parse({"--trace="}).error, "--trace needs a file name");
    EXPECT_EQ(Parse({"--trace"}).error, "--trace needs a value");
}
