// Arbitrary bytes into the streaming module's two parsers of PC-sent bytes: the shell
// command text and the file requests. Invariants: an accepted command has only acceptable
// paths and fits 255 bytes; written out again in its canonical form it parses to the same
// command; the key never holds more than its capacity and the module never crashes, whatever
// the order of requests.
#include "sim/Faults.h"
#include "sim/ModuleFiles.h"
#include "sim/Protocol.h"
#include "sim/Rack.h"
#include "sim/Shell.h"

#include <cstdlib>
#include <string>

using namespace mulvane;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// Single quotes make every byte plain; a single quote itself is written '\''.
std::string Quoted(const std::string& path) {
    std::string out = "'";
    for (char c : path) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    return out + "'";
}

std::string Canonical(const ShellCommand& c) {
    switch (c.kind) {
    case ShellCommand::Kind::Remove: {
        std::string text = "rm -f";
        for (const auto& p : c.paths)
            text += " " + Quoted(p);
        return text;
    }
    case ShellCommand::Kind::Move:
        return "mv " + Quoted(c.paths[0]) + " " + Quoted(c.paths[1]);
    case ShellCommand::Kind::Sync:
        return "sync";
    case ShellCommand::Kind::Touch:
        return "touch " + Quoted(c.paths[0]);
    case ShellCommand::Kind::Concat: {
        std::string text = "cat";
        for (const auto& p : c.paths)
            text += " " + Quoted(p);
        return text + " >" + Quoted(c.target);
    }
    }
    return {};
}

void FuzzShell(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto command = ParseShellCommand(text, why);
    if (!command) {
        Check(!why.empty());
        return;
    }
    Check(text.size() <= kMaxShellText);
    for (const auto& p : command->paths)
        Check(IsAcceptablePath(p, why));
    // The canonical form may pass 255 bytes through its added quotes; compare only when it fits.
    const std::string again = Canonical(*command);
    if (again.size() <= kMaxShellText) {
        const auto reparsed = ParseShellCommand(again, why);
        Check(reparsed && reparsed->kind == command->kind && reparsed->paths == command->paths &&
              reparsed->target == command->target);
    }
}

// The bytes as a run of requests: a length byte, then that many bytes; the first byte of
// each request chooses between a file request, a shell text and a key switch.
void FuzzRequests(const uint8_t* data, size_t size) {
    ModuleConfig config;
    config.type = kTypeTwinSatTuner;
    config.address = 10;
    config.usbKey = UsbKeyConfig{true, 4096, {{"a.ts", std::vector<uint8_t>(500, 0x47)}}};
    config.log = "boot\n";
    ModuleFiles files(config, size);
    Faults faults;
    int64_t now = 0;
    size_t at = 0;
    while (at < size) {
        const size_t n = std::min<size_t>(data[at], size - at - 1);
        const uint8_t* request = data + at + 1;
        at += 1 + n;
        now += 700;
        files.Advance(now);
        if (n == 0)
            continue;
        switch (request[0] % 4) {
        case 0:
        case 1:
            (void)files.FileRequest(std::span<const uint8_t>(request + 1, n - 1), faults, 10);
            break;
        case 2:
            files.Execute(std::string_view(reinterpret_cast<const char*>(request + 1), n - 1));
            break;
        default:
            files.SetKeyPresent(request[0] & 0x10);
            files.SetMode(request[0] >> 6);
            break;
        }
        Check(files.KeyBytes() <= files.KeyCapacity());
        const auto list = files.NameList();
        Check(list.size() >= 4);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzShell(data, size);
    FuzzRequests(data, size);
    return 0;
}
