// kaptiv-config stays bounded whatever it is given: special files are refused at once, a hostile
// trace is shown within its bounds, output from files reaches the terminal escaped, a trace that
// cannot be written fails the run, and an empty module list builds no file.
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/Rack.h"

#include "tests/unit/tools/ConfigCommand.h"
#include "tests/unit/tools/NestedMenu.h"

#include "link/LinkTrace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace kaptiv;

namespace {

using kaptiv::testing::CommandRun;
using kaptiv::testing::RunConfig;

// A fresh folder for the test's files.
struct Scratch {
    std::filesystem::path path;
    Scratch() {
        std::string pattern = ::testing::TempDir() + "kaptiv-cli-XXXXXX";
        path = ::mkdtemp(pattern.data());
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
};

// The command through sh (for ulimit and timeout), with its exit status.
CommandRun Shell(const std::string& command) {
    CommandRun run;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string TraceLine(uint8_t address, uint8_t command, const std::vector<uint8_t>& request,
                      const std::vector<uint8_t>& answer) {
    link::TraceLine line;
    line.transport = "gateway:127.0.0.1:666";
    line.address = address;
    line.command = command;
    line.request = request;
    line.result = link::LinkResult::Ok;
    line.answered = true;
    line.answerControl = 0xF0;
    line.answer = answer;
    return link::FormatTraceLine(line) + "\n";
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

} // namespace

// Special files are refused at once with the reason, never read or waited on.
TEST(CliBounds, SpecialFilesAreRefusedAtOnce) {
    Scratch scratch;
    const std::string fifo = (scratch.path / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string config = std::string("timeout 10 ") + KAPTIV_CONFIG;
    for (const std::string& args :
         {std::string("trace show /dev/zero"), "trace show " + fifo, "qvc dump " + fifo, "qvc build " + fifo,
          "block decode --type 7 " + fifo, "qvc check " + fifo}) {
        const int64_t start = NowMs();
        const CommandRun run = Shell(config + " " + args);
        EXPECT_LT(NowMs() - start, 1000) << args;
        EXPECT_EQ(run.status, 1) << args << ": " << run.out;
        EXPECT_NE(run.out.find("not a regular file"), std::string::npos) << args << ": " << run.out;
    }
}

// The nested line of a hostile trace (a 63 kB request, a CAM menu nested 9,000 deep) is shown
// within 10 s in an address space of 1.5 GB.
TEST(CliBounds, TheNestedTraceLineIsShownWithinItsBounds) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
    Scratch scratch;
    const std::vector<uint8_t> list = {0x0B, 0x03, 0x00};
    const std::vector<uint8_t> packet = kaptiv::testing::CamPacket(kaptiv::testing::NestedMenus(9000));
    const std::string trace =
        scratch.Write("nested.txt", std::string(link::kTraceHeader) + "\n" + TraceLine(0, 0x60, {}, list) +
                                        TraceLine(0x0B, 0x50, packet, {}));
    const int64_t start = NowMs();
    const CommandRun run = Shell("ulimit -v 1572864; timeout 10 " + std::string(KAPTIV_CONFIG) +
                                 " trace show " + trace + " | wc -c");
    EXPECT_LT(NowMs() - start, 10'000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_GT(std::stoll(run.out), 1000) << run.out;
    EXPECT_LT(std::stoll(run.out), 1'000'000) << run.out;
}

// What comes from files reaches the terminal escaped: a firmware index line holding an
// "ESC ] 0;" sequence that would retitle the terminal.
TEST(CliBounds, OutputFromFilesIsEscaped) {
    Scratch scratch;
    scratch.Write("QVX.FRM", "RKSAT\x1B]0;owned\x07.bin\r\n");
    const CommandRun run = RunConfig("firmware list " + scratch.path.string());
    EXPECT_EQ(run.out.find('\x1B'), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x07'), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("RKSAT\\x1B]0;owned\\x07.bin"), std::string::npos) << run.out;
}

// A trace that cannot be written makes the run fail, though the rack was listed.
TEST(CliBounds, ATraceWriteFailureFailsTheRun) {
    mulvane::RackEngine engine{mulvane::DemoRack(), 3};
    mulvane::GatewayServer gateway{engine};
    std::string error;
    ASSERT_TRUE(gateway.Start(error)) << error;
    const std::string rack = "rack list --gateway 127.0.0.1:" + std::to_string(gateway.Port());
    const CommandRun plain = RunConfig(rack + " --trace /dev/null");
    const CommandRun full = RunConfig("--trace /dev/full " + rack);
    gateway.Stop();
    EXPECT_EQ(plain.status, 0) << plain.out;
    EXPECT_EQ(full.status, 1) << full.out;
    EXPECT_NE(full.out.find("address  type"), std::string::npos) << "the rack was listed: " << full.out;
    EXPECT_NE(full.out.find("cannot write the trace /dev/full: No space left on device"), std::string::npos)
        << full.out;
}

// qvc build refuses an empty module list instead of writing a 0-byte file; one module builds.
TEST(CliBounds, AnEmptyModuleListBuildsNoFile) {
    Scratch scratch;
    const std::string empty = scratch.Write("empty.json", R"({"modules":[]})");
    const std::string one = scratch.Write("one.json", R"({"modules":[{"type":0,"hex":"0102"}]})");
    const std::string out = (scratch.path / "out.qvc").string();
    const CommandRun refused = RunConfig("qvc build " + empty + " --output " + out);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("the module list is empty"), std::string::npos) << refused.out;
    EXPECT_FALSE(std::filesystem::exists(out));
    const CommandRun built = RunConfig("qvc build " + one + " --output " + out);
    EXPECT_EQ(built.status, 0) << built.out;
    EXPECT_EQ(std::filesystem::file_size(out), 5u);
}
