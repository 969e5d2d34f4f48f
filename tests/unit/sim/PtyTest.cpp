// The serial bus over a real pseudo-terminal, with real time and short bounded deadlines.
#include "sim/Engine.h"
#include "sim/Frame.h"
#include "sim/Protocol.h"
#include "sim/PtyServer.h"

#include "platform/Bytes.h"
#include "platform/Clock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace mulvane;
using kaptiv::platform::HexDump;

namespace {

RackConfig Rack() {
    RackConfig rack;
    for (auto [address, type] : std::vector<std::pair<uint8_t, uint8_t>>{{0, 0}, {10, 4}}) {
        ModuleConfig m;
        m.address = address;
        m.type = type;
        m.release = 35;
        m.identifyLength = 3;
        rack.modules.push_back(m);
    }
    return rack;
}

int OpenPort(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Reads until want bytes came or the deadline passed.
std::vector<uint8_t> ReadFor(int fd, size_t want, int64_t deadlineMs) {
    kaptiv::platform::RealClock clock;
    const int64_t end = clock.NowMs() + deadlineMs;
    std::vector<uint8_t> got;
    while (got.size() < want) {
        const int64_t left = end - clock.NowMs();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        uint8_t buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    return HexDump(bytes, 4096);
}

} // namespace

TEST(SimPty, EchoesTheRequestAndAnswersThroughTheSlave) {
    RackEngine engine(Rack());
    const std::string link = testing::TempDir() + "mulvane-pty-test-link";
    PtyServer pty(&engine, PtyOptions{PtyMode::Rack, link, false});
    std::string error;
    ASSERT_TRUE(pty.Start(error)) << error;
    char resolved[256] = {};
    ASSERT_GT(readlink(link.c_str(), resolved, sizeof resolved - 1), 0);
    EXPECT_EQ(pty.SlavePath(), resolved);

    const int fd = OpenPort(link);
    ASSERT_GE(fd, 0);
    auto request = *EncodeFrame(10, kAddrPc, kCmdIdentify, {});
    ASSERT_EQ(write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    // Echo, then 02 FD 0A F3 77 04 23 + checksum (F3^77^04^23 = 0xA3).
    auto got = ReadFor(fd, 13, 1000);
    EXPECT_EQ(Hex(got), "02 0A FD 10 10 02 FD 0A F3 77 04 23 A3");
    close(fd);
    pty.Stop();
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0); // the link goes with the server
}

TEST(SimPty, SeveralPtysAtOnceAndOnlyTheRackOneAnswers) {
    RackEngine engine(Rack());
    PtyServer dead(nullptr, PtyOptions{PtyMode::Dead, "", false});
    PtyServer echoOnly(nullptr, PtyOptions{PtyMode::EchoOnly, "", false});
    PtyServer rack(&engine, PtyOptions{PtyMode::Rack, "", true});
    std::string error;
    ASSERT_TRUE(dead.Start(error)) << error;
    ASSERT_TRUE(echoOnly.Start(error)) << error;
    ASSERT_TRUE(rack.Start(error)) << error;
    EXPECT_NE(dead.SlavePath(), rack.SlavePath());
    EXPECT_NE(echoOnly.SlavePath(), rack.SlavePath());

    auto request = *EncodeFrame(kAddrController, kAddrPc, kCmdIdentify, {});
    auto ask = [&](PtyServer& server, size_t want, int64_t deadlineMs) {
        const int fd = OpenPort(server.SlavePath());
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
        auto got = ReadFor(fd, want, deadlineMs);
        close(fd);
        return got;
    };
    EXPECT_TRUE(ask(dead, 1, 100).empty());
    EXPECT_EQ(Hex(ask(echoOnly, 6, 100)), "02 00 FD 10 10"); // echo, and nobody answers
    auto answered = ask(rack, 13, 1000);                     // throttled: about 1 ms on the line
    ASSERT_EQ(answered.size(), 13u);
    EXPECT_EQ(answered[10], 0x00); // controller type, after 77
}
