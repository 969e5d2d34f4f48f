#pragma once
// A scripted serial line for link tests on virtual time: it echoes every byte written
// (as the rack bus does) and, after each complete write, hands out the next queued answer.
#include "link/SerialTransport.h"
#include "platform/Clock.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

namespace kaptiv::test {

struct SerialScript {
    std::vector<std::vector<uint8_t>> writes; // every piece written
    std::deque<std::vector<uint8_t>> answers; // one per request, queued
    std::vector<uint8_t> pending;             // readable now
    bool echo = true;
    bool failWrites = false;
    int opens = 0;
};

class FakeSerial final : public link::SerialTransport {
public:
    FakeSerial(platform::Clock& clock, std::shared_ptr<SerialScript> script)
        : m_clock(clock), m_script(script) {}
    bool Write(const uint8_t* data, size_t n) override {
        if (m_script->failWrites)
            return false;
        m_script->writes.emplace_back(data, data + n);
        if (m_script->echo)
            m_script->pending.insert(m_script->pending.end(), data, data + n);
        m_answerDue = true;
        return true;
    }
    size_t Read(uint8_t* out, size_t max, int64_t deadlineMs) override {
        if (m_script->pending.empty() && m_answerDue && !m_script->answers.empty()) {
            m_script->pending = m_script->answers.front();
            m_script->answers.pop_front();
            m_answerDue = false;
        }
        if (m_script->pending.empty()) {
            if (auto* manual = dynamic_cast<platform::ManualClock*>(&m_clock))
                manual->AdvanceTo(deadlineMs);
            return 0;
        }
        const size_t n = std::min(max, m_script->pending.size());
        std::copy_n(m_script->pending.begin(), n, out);
        m_script->pending.erase(m_script->pending.begin(), m_script->pending.begin() + static_cast<long>(n));
        return n;
    }

private:
    // The answer follows the request: it is handed out once the echo has been read.
    bool m_answerDue = false;
    platform::Clock& m_clock;
    std::shared_ptr<SerialScript> m_script;
};

// Port numbers listed in `live` open onto the same script; the others do not exist.
class FakeOpener final : public link::SerialPortOpener {
public:
    FakeOpener(platform::Clock& clock, std::shared_ptr<SerialScript> script, std::vector<int> live)
        : m_clock(clock), m_script(script), m_live(std::move(live)) {}
    std::unique_ptr<link::SerialTransport> Open(int n) override {
        opened.push_back(n);
        for (int p : m_live)
            if (p == n) {
                m_script->opens++;
                return std::make_unique<FakeSerial>(m_clock, m_script);
            }
        return nullptr;
    }
    std::vector<int> opened;

private:
    platform::Clock& m_clock;
    std::shared_ptr<SerialScript> m_script;
    std::vector<int> m_live;
};

} // namespace kaptiv::test
