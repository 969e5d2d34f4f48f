#pragma once
// Command-line options of the kaptiv executable.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::app {

inline constexpr std::string_view kDefaultListenAddress = "127.0.0.1";

struct Options {
    std::optional<std::filesystem::path> profilePath;      // --profile FILE
    std::string listenAddress{kDefaultListenAddress};      // --listen ADDRESS (display server)
    uint16_t listenPort = 0;                               // --ui-port N; 0 = any free port
    bool openBrowser = true;                               // --no-browser
    std::optional<std::vector<std::string>> serialDevices; // --serial DEV[,DEV...]
    std::optional<std::filesystem::path> tracePath;        // --trace FILE: the link trace
    bool showHelp = false;                                 // --help, -h
    bool showVersion = false;                              // --version
};

struct ParsedOptions {
    Options options;
    std::string error; // empty when the command line was understood
    bool Ok() const { return error.empty(); }
};

// Accepts "--name value" and "--name=value". An unknown option, a missing or bad value and
// any stray argument give an error naming it.
ParsedOptions ParseOptions(const std::vector<std::string_view>& arguments);
ParsedOptions ParseOptions(int argc, const char* const argv[]);

std::string UsageText(std::string_view programName);

} // namespace kaptiv::app
