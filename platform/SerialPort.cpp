#include "platform/SerialPort.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kaptiv::platform {

namespace {

// ttyUSB10 after ttyUSB9: compare the prefix, then the number.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
            --i;
        long n = i < s.size() ? std::strtol(s.c_str() + i, nullptr, 10) : -1;
        return std::pair<std::string, long>(s.substr(0, i), n);
    };
    return split(a) < split(b);
}

} // namespace

std::vector<std::string> SplitDeviceList(const std::string& commaSeparated) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= commaSeparated.size()) {
        size_t end = commaSeparated.find(',', start);
        if (end == std::string::npos)
            end = commaSeparated.size();
        std::string item = commaSeparated.substr(start, end - start);
        if (!item.empty())
            out.push_back(item);
        start = end + 1;
    }
    return out;
}

std::vector<std::string> DefaultSerialDevices() {
    if (const char* env = std::getenv("KAPTIV_SERIAL_DEVICES"))
        return SplitDeviceList(env);
    return SerialDevicesIn("/dev");
}

std::vector<std::string> SerialDevicesIn(const std::string& folder) {
    std::vector<std::string> out;
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        std::vector<std::string> group;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) == 0 && name.size() > std::strlen(prefix))
                group.push_back(entry.path().string());
        }
        std::sort(group.begin(), group.end(), NaturalLess);
        out.insert(out.end(), group.begin(), group.end());
    }
    return out;
}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_lastError = path + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        m_lastError = path + ": not a serial device (" + std::strerror(errno) + ")";
        ::close(fd);
        return false;
    }
    // Not shared: a second open of the device by another program fails.
    ioctl(fd, TIOCEXCL);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        m_lastError = path + ": cannot set 115200 8N1 (" + std::strerror(errno) + ")";
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_lastError.clear();
    return true;
}

bool SerialPort::Close() {
    if (m_fd < 0)
        return false;
    const bool ok = ::close(m_fd) == 0;
    m_fd = -1;
    return ok;
}

bool SerialPort::Write(const uint8_t* data, size_t n, Clock& clock, int64_t timeoutMs) {
    if (m_fd < 0)
        return false;
    const int64_t deadline = clock.NowMs() + timeoutMs;
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(m_fd, data + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const int64_t left = deadline - clock.NowMs();
        if (left <= 0 || clock.IsInterrupted())
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(std::min(left, Clock::kInterruptSliceMs))) < 0 && errno != EINTR)
            return false;
    }
    return true;
}

size_t SerialPort::Read(uint8_t* out, size_t max, Clock& clock, int64_t deadlineMs) {
    if (m_fd < 0 || max == 0)
        return 0;
    for (;;) {
        const ssize_t r = ::read(m_fd, out, max);
        if (r > 0)
            return static_cast<size_t>(r);
        if (r < 0 && errno != EAGAIN && errno != EINTR)
            return 0;
        const int64_t left = deadlineMs - clock.NowMs();
        if (left <= 0 || clock.IsInterrupted())
            return 0;
        pollfd p{m_fd, POLLIN, 0};
        // In slices, so that a quit cuts the wait short.
        const int ready = poll(&p, 1, static_cast<int>(std::min(left, Clock::kInterruptSliceMs)));
        if (ready < 0 && errno != EINTR)
            return 0;
        if (ready > 0 && (p.revents & (POLLERR | POLLNVAL)))
            return 0;
        if (ready > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN))
            return 0; // the other end is gone (a pty whose master closed)
    }
}

} // namespace kaptiv::platform
