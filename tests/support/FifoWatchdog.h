#pragma once
// A FIFO (named pipe) for tests that must see it refused at once. Code that opened it as a
// file would wait in open() for the other end forever; should that happen, the watchdog opens
// the other end after a second of real time (and drains what is written), so that the test
// fails on the time taken instead of hanging.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kaptiv::test {

class FifoWatchdog {
public:
    static constexpr std::chrono::milliseconds kPatience{1000};

    explicit FifoWatchdog(std::string path) : m_path(std::move(path)) {
        if (::mkfifo(m_path.c_str(), 0600) != 0)
            throw std::runtime_error("mkfifo " + m_path + " failed");
    }
    const std::string& Path() const { return m_path; }
    bool Rescued() const { return m_rescued; }

    // Runs the action and returns the real time it took.
    std::chrono::milliseconds Run(const std::function<void()>& action) {
        m_done = false;
        m_rescued = false;
        const auto oldPipe = std::signal(SIGPIPE, SIG_IGN);
        std::thread watchdog([this] { Watch(); });
        const auto start = std::chrono::steady_clock::now();
        action();
        const auto took = std::chrono::steady_clock::now() - start;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        watchdog.join();
        std::signal(SIGPIPE, oldPipe);
        return std::chrono::duration_cast<std::chrono::milliseconds>(took);
    }

private:
    void Watch() {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_wake.wait_for(lock, kPatience, [this] { return m_done; }))
                return;
        }
        m_rescued = true;
        // A reader unblocks a writer waiting in open(); a writer that closes again gives a
        // waiting reader its end of file.
        const int reader = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK);
        const int writer = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        char buffer[4096];
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_done; }))
                    break;
            }
            while (reader >= 0 && ::read(reader, buffer, sizeof buffer) > 0) {
            }
        }
        if (reader >= 0)
            ::close(reader);
    }

    std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::atomic<bool> m_rescued{false};
};

} // namespace kaptiv::test
