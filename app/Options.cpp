#include "app/Options.h"

#include <arpa/inet.h>
#include <charconv>

namespace kaptiv::app {

namespace {

constexpr unsigned kMaxPort = 65535;

bool IsIpAddress(const std::string& text) {
    unsigned char buffer[sizeof(struct in6_addr)];
    return ::inet_pton(AF_INET, text.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

std::optional<uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [next, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || next != end || value > kMaxPort)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

std::optional<std::vector<std::string>> SplitDeviceList(std::string_view text) {
    std::vector<std::string> devices;
    while (true) {
        const auto comma = text.find(',');
        const std::string_view device = text.substr(0, comma);
        if (device.empty())
            return std::nullopt;
        devices.emplace_back(device);
        if (comma == std::string_view::npos)
            return devices;
        text.remove_prefix(comma + 1);
    }
}

// Applies one option that takes a value; returns an error text or "".
std::string ApplyValue(Options& options, std::string_view name, std::string_view value) {
    if (name == "--profile") {
        if (value.empty())
            return "--profile needs a file name";
        options.profilePath = std::filesystem::path(value);
    } else if (name == "--listen") {
        const std::string address(value);
        if (!IsIpAddress(address))
            return "--listen: \"" + address + "\" is not an IPv4 or IPv6 address";
        options.listenAddress = address;
    } else if (name == "--ui-port") {
        const auto port = ParsePort(value);
        if (!port)
            return "--ui-port: \"" + std::string(value) + "\" is not a port number from 0 to 65535";
        options.listenPort = *port;
    } else if (name == "--serial") {
        auto devices = SplitDeviceList(value);
        if (!devices)
            return "--serial: \"" + std::string(value) + "\" is not a comma-separated list of devices";
        options.serialDevices = std::move(*devices);
    } else if (name == "--trace") {
        if (value.empty())
            return "--trace needs a file name";
        options.tracePath = std::filesystem::path(value);
    }
    return {};
}

bool TakesValue(std::string_view name) {
    return name == "--profile" || name == "--listen" || name == "--ui-port" || name == "--serial" ||
           name == "--trace";
}

} // namespace

ParsedOptions ParseOptions(const std::vector<std::string_view>& arguments) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view name = arguments[i];
        std::optional<std::string_view> inlineValue;
        if (name.starts_with("--")) {
            if (const auto equals = name.find('='); equals != std::string_view::npos) {
                inlineValue = name.substr(equals + 1);
                name = name.substr(0, equals);
            }
        }
        if (TakesValue(name)) {
            std::string_view value;
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                parsed.error = std::string(name) + " needs a value";
                return parsed;
            }
            parsed.error = ApplyValue(parsed.options, name, value);
            if (!parsed.Ok())
                return parsed;
            continue;
        }
        if (inlineValue) {
            parsed.error = std::string(name) + " takes no value";
            return parsed;
        }
        if (name == "--no-browser") {
            parsed.options.openBrowser = false;
        } else if (name == "--help" || name == "-h") {
            parsed.options.showHelp = true;
        } else if (name == "--version") {
            parsed.options.showVersion = true;
        } else if (name.starts_with('-')) {
            parsed.error = "unknown option " + std::string(name);
            return parsed;
        } else {
            parsed.error = "unexpected argument \"" + std::string(name) + "\"";
            return parsed;
        }
    }
    return parsed;
}

ParsedOptions ParseOptions(int argc, const char* const argv[]) {
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return ParseOptions(arguments);
}

std::string UsageText(std::string_view programName) {
    std::string text = "Usage: " + std::string(programName) + " [options]\n";
    text += R"(Configuration and maintenance tool for the MULVANE headend rack. The interface is shown
in a web browser; the address to open is printed at start.

  --profile FILE        profile holding the gateway address and port
                        (default: $XDG_CONFIG_HOME/ZELMORA/kaptiv.ini)
  --listen ADDRESS      address the interface listens on (default 127.0.0.1)
  --ui-port N           port the interface listens on (default 0: any free port)
  --no-browser          do not open a browser, only print the address
  --serial DEV[,DEV...] serial devices searched for the rack bus, in this order
                        (default: $KAPTIV_SERIAL_DEVICES, else /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*)
  --trace FILE          write every exchange with the rack to FILE, one line each
                        (read it with: kaptiv-config trace show FILE)
  -h, --help            show this text
  --version             show the version

The program folder is the current directory: firmware/, config/, report/ and logs/ live
there, and so do advanced.txt (advanced mode) and pref.txt (language: EN, FR, IT, DE, SP).
)";
    return text;
}

} // namespace kaptiv::app
