// kaptiv-config qvc: configuration files as JSON and back, and the check summary the tool shows
// before it loads a file.
#include "configfiles/ConfigFile.h"
#include "configfiles/ConfigSummary.h"
#include "platform/FileAccess.h"
#include "tools/Commands.h"
#include "tools/TerminalText.h"
#include "tools/json/QvcJson.h"

#include <cstdio>
#include <optional>

namespace kaptiv::tools {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr size_t kMaxJsonBytes = 4 * 1024 * 1024;

void PrintQvcUsage(std::FILE* out) {
    std::fputs(
        "usage: kaptiv-config qvc dump FILE.qvc\n"
        "       kaptiv-config qvc build FILE.json|- [--output FILE.qvc]\n"
        "       kaptiv-config qvc check FILE.qvc [--rack FILE.qvc|RACK.json|HOST:PORT] [--language 0-4]\n"
        "\n"
        "dump prints every entry with its type, module name and block (the JSON of block decode);\n"
        "build writes the file's exact bytes (to stdout without --output); check prints the summary\n"
        "of the configuration check, and with --rack whether the file fits that rack (exit 1 when not).\n",
        out);
}

void Refuse(const std::string& text) {
    std::fputs("kaptiv-config qvc: ", stderr);
    PrintEscaped(stderr, text);
    std::fputs("\n", stderr);
}

std::optional<std::vector<configfiles::ConfigEntry>> ReadQvc(const std::string& path) {
    // kMaxFileBytes + 1 bytes are enough to judge a configuration file: a longer one is refused.
    platform::FileReadResult file =
        platform::ReadRegularFile(path, configfiles::kMaxFileBytes + 1, platform::OverLimit::ReadPrefix);
    if (!file) {
        Refuse(file.error);
        return std::nullopt;
    }
    configfiles::ConfigReadResult read = configfiles::ParseConfigFile(file.bytes);
    if (!read.Ok()) {
        Refuse(path + " refused: " + configfiles::DescribeProblem(read));
        return std::nullopt;
    }
    return std::move(read.entries);
}

std::optional<std::string> ReadText(const std::string& path) {
    if (path != "-") {
        const platform::FileReadResult file = platform::ReadRegularFile(path, kMaxJsonBytes);
        if (!file) {
            Refuse(file.error);
            return std::nullopt;
        }
        return file.Text();
    }
    std::string text;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0 && text.size() <= kMaxJsonBytes)
        text.append(buffer, n);
    if (text.size() > kMaxJsonBytes) {
        std::fprintf(stderr, "kaptiv-config qvc: '%s' is longer than %zu bytes\n", path.c_str(),
                     kMaxJsonBytes);
        return std::nullopt;
    }
    return text;
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The rack to match: another configuration file, a simulator rack file, or a live gateway.
std::optional<std::vector<uint8_t>> RackTypes(const std::string& rack) {
    if (EndsWith(rack, ".json")) {
        const std::optional<std::string> text = ReadText(rack);
        if (!text)
            return std::nullopt;
        const nlohmann::json json = nlohmann::json::parse(*text, nullptr, false);
        if (!json.is_object() || !json.contains("modules") || !json["modules"].is_array()) {
            Refuse(rack + " is not a rack file with a \"modules\" array");
            return std::nullopt;
        }
        std::vector<uint8_t> types;
        for (const nlohmann::json& m : json["modules"]) {
            if (!m.is_object() || !m.contains("type") || !m["type"].is_number_unsigned() || m["type"] > 255) {
                Refuse(rack + ": every module needs a type 0-255");
                return std::nullopt;
            }
            types.push_back(m["type"].get<uint8_t>());
        }
        return types;
    }
    if (rack.find(':') != std::string::npos && !EndsWith(rack, ".qvc") && !EndsWith(rack, ".QVC")) {
        std::string error;
        auto types = RackTypesThroughGateway(rack, error);
        if (!types)
            Refuse(error);
        return types;
    }
    const auto entries = ReadQvc(rack);
    if (!entries)
        return std::nullopt;
    std::vector<uint8_t> types;
    for (const auto& e : *entries)
        types.push_back(e.type);
    return types;
}

int Dump(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return kExitUsage;
    const auto entries = ReadQvc(args[0]);
    if (!entries)
        return kExitRefused;
    const std::string text =
        QvcToJson(*entries).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    return PrintEscaped(stdout, text) && std::fflush(stdout) == 0 ? kExitOk : kExitRefused;
}

int Build(const std::vector<std::string>& args) {
    std::string input;
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--output" && i + 1 < args.size())
            output = args[++i];
        else if (input.empty())
            input = args[i];
        else
            return kExitUsage;
    }
    if (input.empty())
        return kExitUsage;
    const std::optional<std::string> text = ReadText(input);
    if (!text)
        return kExitRefused;
    const nlohmann::json json = nlohmann::json::parse(*text, nullptr, false);
    if (json.is_discarded()) {
        std::fputs("kaptiv-config qvc build: the input is not valid JSON\n", stderr);
        return kExitRefused;
    }
    std::string error;
    const std::vector<uint8_t> bytes = QvcFromJson(json, error);
    if (!error.empty()) {
        std::fputs("kaptiv-config qvc build: ", stderr);
        PrintEscaped(stderr, error + "\n");
        return kExitRefused;
    }
    // The file's bytes themselves, not text: they go out as they are.
    if (output.empty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitRefused;
    }
    if (const platform::FileResult written = platform::WriteFileAtomic(output, bytes); !written) {
        std::fputs("kaptiv-config qvc build: ", stderr);
        PrintEscaped(stderr, written.error + "\n");
        return kExitRefused;
    }
    return kExitOk;
}

int Check(const std::vector<std::string>& args) {
    std::string file;
    std::string rack;
    int language = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--rack" && i + 1 < args.size()) {
            rack = args[++i];
        } else if (args[i] == "--language" && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (value.size() != 1 || value[0] < '0' || value[0] > '4')
                return kExitUsage;
            language = value[0] - '0';
        } else if (file.empty()) {
            file = args[i];
        } else {
            return kExitUsage;
        }
    }
    if (file.empty())
        return kExitUsage;
    const auto entries = ReadQvc(file);
    if (!entries)
        return kExitRefused;
    std::optional<std::vector<uint8_t>> types;
    if (!rack.empty()) {
        types = RackTypes(rack);
        if (!types)
            return kExitRefused;
    }
    const std::string summary =
        types ? configfiles::ConfigSummary(*entries, std::span<const uint8_t>(*types), language)
              : configfiles::ConfigSummary(*entries, std::nullopt, language);
    if (!PrintEscaped(stdout, summary) || std::fflush(stdout) != 0)
        return kExitRefused;
    return types && !configfiles::ConfigMatches(*entries, *types) ? kExitRefused : kExitOk;
}

} // namespace

int RunQvcCommand(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        PrintQvcUsage(args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    int rc = kExitUsage;
    if (args[0] == "dump")
        rc = Dump(rest);
    else if (args[0] == "build")
        rc = Build(rest);
    else if (args[0] == "check")
        rc = Check(rest);
    if (rc == kExitUsage)
        PrintQvcUsage(stderr);
    return rc;
}

} // namespace kaptiv::tools
