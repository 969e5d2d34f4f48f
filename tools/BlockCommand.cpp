// kaptiv-config block decode|encode: a module's parameter block as JSON and back.
#include "platform/FileAccess.h"
#include "platform/HexText.h"
#include "tools/Commands.h"
#include "tools/TerminalText.h"
#include "tools/json/BlockJson.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::tools {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
// Far more than the hex text of any block with comments; keeps a wrong file from filling memory.
constexpr size_t kMaxInputBytes = 4 * 1024 * 1024;
constexpr size_t kHexBytesPerLine = 16;

void PrintBlockUsage(std::FILE* out) {
    std::fputs("usage: kaptiv-config block decode --type T [--raw] [FILE|-]\n"
               "       kaptiv-config block encode --type T [--raw] [FILE|-]\n"
               "\n"
               "decode reads a parameter block as hex pairs ('#' comments allowed; with --raw:\n"
               "the bytes themselves) and prints it as JSON. encode reads such JSON and prints the\n"
               "block's bytes as hex (--raw: the bytes themselves). T is the module type 0 to 14;\n"
               "without FILE, or with -, the input is read from standard input.\n",
               out);
}

struct Options {
    std::string verb;
    int type = -1;
    bool raw = false;
    std::string file = "-";
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args) {
    if (args.empty())
        return std::nullopt;
    Options options;
    options.verb = args[0];
    if (options.verb != "decode" && options.verb != "encode") {
        std::fprintf(stderr, "kaptiv-config block: unknown action '%s'\n", options.verb.c_str());
        return std::nullopt;
    }
    bool haveFile = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--type") {
            if (i + 1 >= args.size()) {
                std::fputs("kaptiv-config block: --type needs a module type\n", stderr);
                return std::nullopt;
            }
            const std::string& text = args[++i];
            char* end = nullptr;
            const long type = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || type < 0 || type > 255) {
                std::fprintf(stderr, "kaptiv-config block: '%s' is not a module type\n", text.c_str());
                return std::nullopt;
            }
            options.type = static_cast<int>(type);
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "kaptiv-config block: unknown option '%s'\n", arg.c_str());
            return std::nullopt;
        } else if (!haveFile) {
            options.file = arg;
            haveFile = true;
        } else {
            std::fputs("kaptiv-config block: only one input file\n", stderr);
            return std::nullopt;
        }
    }
    if (options.type < 0) {
        std::fputs("kaptiv-config block: --type is required\n", stderr);
        return std::nullopt;
    }
    return options;
}

std::optional<std::string> ReadInput(const std::string& file) {
    if (file != "-") {
        const platform::FileReadResult read = platform::ReadRegularFile(file, kMaxInputBytes);
        if (!read) {
            std::fputs("kaptiv-config block: ", stderr);
            PrintEscaped(stderr, read.error + "\n");
            return std::nullopt;
        }
        return read.Text();
    }
    std::FILE* in = stdin;
    std::string data;
    char buffer[4096];
    size_t n = 0;
    bool tooLong = false;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        data.append(buffer, n);
        if (data.size() > kMaxInputBytes) {
            tooLong = true;
            break;
        }
    }
    const bool failed = std::ferror(in) != 0;
    if (tooLong) {
        std::fprintf(stderr, "kaptiv-config block: input is longer than %zu bytes\n", kMaxInputBytes);
        return std::nullopt;
    }
    if (failed) {
        std::fputs("kaptiv-config block: cannot read the standard input\n", stderr);
        return std::nullopt;
    }
    return data;
}

void PrintHex(std::span<const uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const bool lineEnd = (i + 1) % kHexBytesPerLine == 0 || i + 1 == bytes.size();
        std::printf(lineEnd ? "%02X\n" : "%02X ", bytes[i]);
    }
}

int Decode(const Options& options, const std::string& input) {
    std::vector<uint8_t> block;
    if (options.raw) {
        block.assign(input.begin(), input.end());
    } else {
        // Without --raw only hex text is taken: bytes that merely fail to be hex would
        // otherwise be decoded as a block and printed as if they were one.
        platform::HexTextResult hex = platform::ParseHexText(input);
        if (!hex.Ok()) {
            std::fputs("kaptiv-config block decode: ", stderr);
            PrintEscaped(stderr, hex.error + " (use --raw for a binary block)\n");
            return kExitRefused;
        }
        block = std::move(hex.bytes);
    }
    const JsonDecodeResult result = BlockToJson(static_cast<uint8_t>(options.type), block);
    if (!result.Ok()) {
        std::fputs("kaptiv-config block decode: ", stderr);
        PrintEscaped(stderr, result.error + "\n");
        return kExitRefused;
    }
    const std::string text = result.json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    return PrintEscaped(stdout, text) && std::fflush(stdout) == 0 ? kExitOk : kExitRefused;
}

int Encode(const Options& options, const std::string& input) {
    const nlohmann::json json = nlohmann::json::parse(input, nullptr, false);
    if (json.is_discarded()) {
        std::fputs("kaptiv-config block encode: the input is not valid JSON\n", stderr);
        return kExitRefused;
    }
    if (!json.is_object()) {
        std::fputs("kaptiv-config block encode: expected a JSON object\n", stderr);
        return kExitRefused;
    }
    const settings::EncodeResult result = BlockFromJson(static_cast<uint8_t>(options.type), json);
    if (!result.Ok()) {
        std::fputs("kaptiv-config block encode: ", stderr);
        PrintEscaped(stderr, result.error + "\n");
        return kExitRefused;
    }
    if (options.raw)
        std::fwrite(result.block.data(), 1, result.block.size(), stdout);
    else
        PrintHex(result.block);
    return kExitOk;
}

} // namespace

int RunBlockCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintBlockUsage(stdout);
        return kExitOk;
    }
    const std::optional<Options> options = ParseOptions(args);
    if (!options) {
        PrintBlockUsage(stderr);
        return kExitUsage;
    }
    const std::optional<std::string> input = ReadInput(options->file);
    if (!input)
        return kExitRefused;
    return options->verb == "decode" ? Decode(*options, *input) : Encode(*options, *input);
}

} // namespace kaptiv::tools
