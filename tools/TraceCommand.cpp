// kaptiv-config trace show, and the --trace option of the subcommands that talk to a rack.
#include "link/LinkTrace.h"
#include "tools/Commands.h"
#include "tools/TraceShow.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace kaptiv::tools {

namespace {

// Far more than a long session's trace; keeps a wrong file from filling memory.
constexpr std::streamoff kMaxTraceBytes = 512LL * 1024 * 1024;

std::string& TracePath() {
    static std::string path;
    return path;
}

} // namespace

void SetTracePath(std::string path) {
    TracePath() = std::move(path);
}

std::unique_ptr<link::LinkTrace> StartTrace(link::CXmit& xmit, platform::Clock& clock, bool& failed) {
    failed = false;
    if (TracePath().empty())
        return nullptr;
    std::string error;
    auto trace = link::AttachTrace(xmit, clock, TracePath(), error);
    if (!trace) {
        std::fprintf(stderr, "kaptiv-config: %s\n", error.c_str());
        failed = true;
    }
    return trace;
}

int RunTraceCommand(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "show") {
        std::fputs("usage: kaptiv-config trace show FILE\n", stderr);
        return 2;
    }
    std::ifstream in(args[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kaptiv-config trace: cannot read %s\n", args[1].c_str());
        return 1;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size < 0 || size > kMaxTraceBytes) {
        std::fprintf(stderr, "kaptiv-config trace: %s is not a trace that can be read whole\n",
                     args[1].c_str());
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;
    const int faults = ShowTrace(text, out);
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (faults > 0) {
        std::fprintf(stderr, "kaptiv-config trace: %d line%s of %s not understood\n", faults,
                     faults == 1 ? "" : "s", args[1].c_str());
        return 1;
    }
    return 0;
}

} // namespace kaptiv::tools
