// kaptiv-config: the command-line companion of the tool.
#include "tools/Commands.h"
#include "tools/FirmwareListing.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs("usage: kaptiv-config COMMAND ...\n"
               "\n"
               "commands:\n"
               "  block decode --type T [--raw] [FILE|-]\n"
               "                                    print a parameter block as JSON\n"
               "  block encode --type T [--raw] [FILE|-]\n"
               "                                    turn such JSON back into the block's bytes\n"
               "  rack list --gateway HOST:PORT     list the modules of a rack through a gateway\n"
               "  rack list --serial DEV[,DEV...]   list them through the serial bus\n"
               "  firmware list DIR                 the firmware folder as the tool reads it\n"
               "  qvc dump FILE.qvc                 print a configuration file as JSON\n"
               "  qvc build FILE.json [--output F]  turn such JSON back into the file's bytes\n"
               "  qvc check FILE.qvc [--rack R]     print the summary of the configuration check\n"
               "  trace show FILE                   print a link trace decoded\n"
               "\n"
               "  --trace FILE (with rack list, qvc check --rack HOST:PORT) writes every exchange\n"
               "  with the rack to FILE, one line each\n"
               "  --help, --version\n",
               out);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--trace" && args[i].rfind("--trace=", 0) != 0)
            continue;
        std::string path =
            args[i] == "--trace" ? (i + 1 < args.size() ? args[i + 1] : "") : args[i].substr(8);
        if (path.empty()) {
            std::fputs("kaptiv-config: --trace needs a file\n", stderr);
            return 2;
        }
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(args[i] == "--trace" ? i + 2 : i + 1));
        kaptiv::tools::SetTracePath(std::move(path));
        break;
    }
    if (args.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h") {
        PrintUsage(stdout);
        return 0;
    }
    if (command == "--version") {
        std::puts("kaptiv-config " KAPTIV_VERSION);
        return 0;
    }
    int rc = 2;
    if (command == "block")
        rc = kaptiv::tools::RunBlockCommand(args);
    else if (command == "rack")
        rc = kaptiv::tools::RunRackCommand(args);
    else if (command == "firmware")
        rc = kaptiv::tools::RunFirmwareCommand(args);
    else if (command == "qvc")
        rc = kaptiv::tools::RunQvcCommand(args);
    else if (command == "trace")
        rc = kaptiv::tools::RunTraceCommand(args);
    else {
        std::fprintf(stderr, "kaptiv-config: unknown command '%s'\n", command.c_str());
        PrintUsage(stderr);
        return 2;
    }
    // Every trace is closed by now: a trace asked for and not written is a failure of the run,
    // whatever the command found.
    if (const std::string& failure = kaptiv::tools::TraceWriteFailure(); !failure.empty()) {
        std::fprintf(stderr, "kaptiv-config: %s\n", failure.c_str());
        return rc == 0 ? 1 : rc;
    }
    return rc;
}
