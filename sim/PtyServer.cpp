#include "sim/PtyServer.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace mulvane {

namespace {
constexpr size_t kChunk = 4096;
constexpr int64_t kIdlePollMs = 50;
} // namespace

PtyServer::PtyServer(RackEngine* engine, PtyOptions options)
    : m_engine(engine), m_options(std::move(options)) {
    m_line = std::make_unique<SerialLine>(m_options.mode == PtyMode::Rack ? m_engine : nullptr);
    m_line->SetThrottled(m_options.throttle);
}

PtyServer::~PtyServer() {
    Stop();
}

bool PtyServer::Start(std::string& error) {
    if (m_thread.joinable()) {
        error = "already running";
        return false;
    }
    if (m_options.mode == PtyMode::Rack && !m_engine) {
        error = "a rack pty needs a rack";
        return false;
    }
    auto fail = [&](const std::string& what) {
        error = what + ": " + std::strerror(errno);
        if (m_slaveKeepAlive >= 0)
            close(m_slaveKeepAlive);
        if (m_master >= 0)
            close(m_master);
        m_slaveKeepAlive = m_master = -1;
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_slavePath = name;
    // A device node, not a file: the pseudo-terminal's slave side, held open so that the line
    // does not hang up between clients (outside the file-access place on purpose).
    m_slaveKeepAlive = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveKeepAlive < 0)
        return fail("open " + m_slavePath);
    termios tio{};
    if (tcgetattr(m_slaveKeepAlive, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(m_slaveKeepAlive, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (!m_options.linkPath.empty()) {
        struct stat st {};
        if (lstat(m_options.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(m_options.linkPath.c_str()); // a stale link of an earlier run
        if (symlink(m_slavePath.c_str(), m_options.linkPath.c_str()) != 0)
            return fail("symlink " + m_options.linkPath);
        m_linkMade = true;
    }
    if (pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void PtyServer::Stop() {
    if (m_thread.joinable()) {
        m_stop = true;
        const uint8_t b = 1;
        [[maybe_unused]] ssize_t n = write(m_wakePipe[1], &b, 1);
        m_thread.join();
    }
    for (int* fd : {&m_master, &m_slaveKeepAlive, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    if (m_linkMade) {
        unlink(m_options.linkPath.c_str());
        m_linkMade = false;
    }
}

void PtyServer::Run() {
    kaptiv::platform::RealClock clock;
    std::vector<uint8_t> outbox; // read off the line, not yet taken by the pty
    uint8_t buffer[kChunk];
    while (!m_stop) {
        const int64_t now = clock.NowMs();
        // Move what the line has delivered by now to the master side.
        for (;;) {
            const size_t n = m_line->SerialRead(buffer, sizeof buffer, now);
            outbox.insert(outbox.end(), buffer, buffer + n);
            if (n < sizeof buffer)
                break;
        }
        while (!outbox.empty()) {
            const ssize_t n = write(m_master, outbox.data(), outbox.size());
            if (n <= 0)
                break; // the slave's input queue is full: try again when it drains
            outbox.erase(outbox.begin(), outbox.begin() + n);
        }
        int64_t timeout = kIdlePollMs;
        if (auto next = m_line->SerialNextOutputMs())
            timeout = std::clamp<int64_t>(*next - now, 0, kIdlePollMs);
        pollfd fds[2] = {{m_wakePipe[0], POLLIN, 0},
                         {m_master, static_cast<short>(POLLIN | (outbox.empty() ? 0 : POLLOUT)), 0}};
        if (!outbox.empty())
            timeout = std::min<int64_t>(timeout, 5);
        if (poll(fds, 2, static_cast<int>(timeout)) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n > 0 && m_options.mode != PtyMode::Dead)
                m_line->SerialWrite(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), clock.NowMs());
        }
        if (fds[0].revents & POLLIN) {
            while (read(m_wakePipe[0], buffer, sizeof buffer) > 0) {
            }
        }
    }
}

} // namespace mulvane
