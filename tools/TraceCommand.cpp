// kaptiv-config trace show, and the --trace option of the subcommands that talk to a rack.
#include "link/LinkTrace.h"
#include "platform/FileAccess.h"
#include "tools/Commands.h"
#include "tools/TerminalText.h"
#include "tools/TraceShow.h"

#include <cstdio>

namespace kaptiv::tools {

namespace {

// Far more than a long session's trace (a million exchanges); keeps a wrong file from
// filling memory.
constexpr size_t kMaxTraceBytes = 256ULL * 1024 * 1024;

std::string& TracePath() {
    static std::string path;
    return path;
}

std::string& TraceFailure() {
    static std::string failure;
    return failure;
}

} // namespace

void SetTracePath(std::string path) {
    TracePath() = std::move(path);
}

const std::string& TraceWriteFailure() {
    return TraceFailure();
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
        return trace;
    }
    // Remembered for main(), which makes the exit status say so once every trace is closed.
    trace->SetFailureSink([](const std::string& why) {
        if (TraceFailure().empty())
            TraceFailure() = why;
    });
    return trace;
}

int RunTraceCommand(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "show") {
        std::fputs("usage: kaptiv-config trace show FILE\n", stderr);
        return 2;
    }
    const platform::FileReadResult read = platform::ReadRegularFile(args[1], kMaxTraceBytes);
    if (!read) {
        std::fputs("kaptiv-config trace: ", stderr);
        PrintEscaped(stderr, read.error);
        std::fputs("\n", stderr);
        return 1;
    }
    const std::string_view text(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size());
    bool written = true;
    const int faults = ShowTrace(text, [&written](std::string_view line) {
        written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && written;
    });
    if (std::fflush(stdout) != 0 || !written) {
        std::fputs("kaptiv-config trace: cannot write the output\n", stderr);
        return 1;
    }
    if (faults > 0) {
        std::fprintf(stderr, "kaptiv-config trace: %d line%s of ", faults, faults == 1 ? "" : "s");
        PrintEscaped(stderr, args[1]);
        std::fputs(" not understood\n", stderr);
        return 1;
    }
    return 0;
}

} // namespace kaptiv::tools
