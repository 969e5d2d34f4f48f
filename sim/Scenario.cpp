#include "sim/Scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace mulvane {

namespace {

enum class Verb { Antenna, Level, Cam, Silent, Module };

struct Command {
    Verb verb = Verb::Antenna;
    uint8_t address = 0;
    size_t input = 0;
    bool on = false; // antenna back, cam inserted, silent on, module inserted
    int level = 0;
};

bool ParseNumber(const std::string& word, long max, long& out) {
    if (word.empty() || word.size() > 6 || word.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = std::strtol(word.c_str(), nullptr, 10);
    return out <= max;
}

std::optional<Command> Parse(const std::string& text, std::string& error) {
    if (text.size() > kMaxCommandLength) {
        error = "command longer than " + std::to_string(kMaxCommandLength) + " characters";
        return std::nullopt;
    }
    std::istringstream in(text);
    std::vector<std::string> w;
    for (std::string word; in >> word;)
        w.push_back(word);
    if (w.empty()) {
        error = "empty command";
        return std::nullopt;
    }
    Command c;
    long address = 0;
    auto need = [&](size_t n, const char* usage) {
        if (w.size() != n) {
            error = std::string("usage: ") + usage;
            return false;
        }
        if (!ParseNumber(w[1], 255, address) || address == 0xFD || address == 0xFF) {
            error = "'" + w[1] + "' is no module address";
            return false;
        }
        c.address = static_cast<uint8_t>(address);
        return true;
    };
    auto input = [&](const std::string& word) {
        if (word.size() != 1 || word[0] < 'A' || word[0] > 'C') {
            error = "'" + word + "' is no input (A, B or C)";
            return false;
        }
        c.input = static_cast<size_t>(word[0] - 'A');
        return true;
    };
    auto choice = [&](const std::string& word, const char* off, const char* on) {
        if (word != off && word != on) {
            error = "'" + word + "': " + off + " or " + on;
            return false;
        }
        c.on = word == on;
        return true;
    };
    const std::string& verb = w[0];
    if (verb == "antenna") {
        c.verb = Verb::Antenna;
        if (!need(4, "antenna ADDRESS INPUT lost|back") || !input(w[2]) || !choice(w[3], "lost", "back"))
            return std::nullopt;
    } else if (verb == "level") {
        c.verb = Verb::Level;
        long level = 0;
        if (!need(4, "level ADDRESS INPUT N") || !input(w[2]))
            return std::nullopt;
        if (!ParseNumber(w[3], 100, level)) {
            error = "'" + w[3] + "' is no level (0..100)";
            return std::nullopt;
        }
        c.level = static_cast<int>(level);
    } else if (verb == "cam") {
        c.verb = Verb::Cam;
        if (!need(3, "cam ADDRESS removed|inserted") || !choice(w[2], "removed", "inserted"))
            return std::nullopt;
    } else if (verb == "silent") {
        c.verb = Verb::Silent;
        if (!need(3, "silent ADDRESS on|off") || !choice(w[2], "off", "on"))
            return std::nullopt;
    } else if (verb == "module") {
        c.verb = Verb::Module;
        if (!need(3, "module ADDRESS removed|inserted") || !choice(w[2], "removed", "inserted"))
            return std::nullopt;
    } else {
        error = "unknown command '" + verb + "' (antenna, level, cam, silent, module)";
        return std::nullopt;
    }
    return c;
}

} // namespace

bool CheckControlCommand(const std::string& command, std::string& error) {
    return Parse(command, error).has_value();
}

bool ApplyControlCommand(RackEngine& engine, const std::string& command, int64_t nowMs, std::string& error) {
    const auto c = Parse(command, error);
    if (!c)
        return false;
    switch (c->verb) {
    case Verb::Antenna:
        engine.SetInputSignal(c->address, c->input, c->on);
        break;
    case Verb::Level:
        engine.SetInputLevel(c->address, c->input, c->level);
        break;
    case Verb::Cam: {
        SimCam* cam = engine.Cam(c->address);
        if (!cam) {
            error = "no common-interface module at address " + std::to_string(c->address);
            return false;
        }
        if (c->on)
            cam->Insert(nowMs);
        else
            cam->Remove();
        break;
    }
    case Verb::Silent:
        engine.GetFaults().DropAllAnswersOf(c->address, c->on);
        break;
    case Verb::Module:
        if (c->on)
            engine.GetFaults().ReinsertModule(c->address);
        else
            engine.GetFaults().RemoveModule(c->address);
        break;
    }
    return true;
}

std::optional<std::vector<ScenarioEvent>> ParseScenario(const std::string& text, std::string& error) {
    std::vector<ScenarioEvent> events;
    std::istringstream lines(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(lines, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNo) + ": " + why;
            return std::nullopt;
        };
        if (line.size() > kMaxCommandLength + 16)
            return fail("line too long");
        if (events.size() >= kMaxScenarioEvents)
            return fail("more than " + std::to_string(kMaxScenarioEvents) + " events");
        const auto space = line.find_first_of(" \t", first);
        const std::string when =
            line.substr(first, space == std::string::npos ? std::string::npos : space - first);
        char* end = nullptr;
        const double seconds = std::strtod(when.c_str(), &end);
        if (when.empty() || end != when.c_str() + when.size() || !std::isfinite(seconds) || seconds < 0 ||
            seconds * 1000 > static_cast<double>(kMaxScenarioMs) ||
            when.find_first_of("xXeEnN") != std::string::npos)
            return fail("'" + when + "' is no time in seconds");
        const std::string command = space == std::string::npos ? "" : line.substr(space + 1);
        std::string why;
        if (!CheckControlCommand(command, why))
            return fail(why);
        events.push_back({static_cast<int64_t>(std::llround(seconds * 1000)), command, lineNo});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const ScenarioEvent& a, const ScenarioEvent& b) { return a.atMs < b.atMs; });
    return events;
}

std::vector<std::string> ScenarioPlayer::Play(RackEngine& engine, int64_t nowMs) {
    std::vector<std::string> applied;
    while (m_next < m_events.size() && m_events[m_next].atMs <= nowMs - m_startMs) {
        std::string error;
        if (ApplyControlCommand(engine, m_events[m_next].command, nowMs, error))
            applied.push_back(m_events[m_next].command);
        ++m_next;
    }
    return applied;
}

ScenarioConsole::ScenarioConsole(RackEngine& engine, std::vector<ScenarioEvent> scenario, bool control)
    : m_engine(engine), m_player(std::move(scenario), m_clock.NowMs()), m_control(control) {}

void ScenarioConsole::Poll(int waitMs) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&in, m_control ? 1 : 0, waitMs);
    for (const std::string& applied : m_player.Play(m_engine, m_clock.NowMs()))
        std::printf("scenario: %s\n", applied.c_str());
    if (m_control && ready > 0 && (in.revents & (POLLIN | POLLHUP)))
        TakeInput();
    std::fflush(stdout);
}

void ScenarioConsole::TakeInput() {
    char buffer[512];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        m_control = false; // standard input closed: no more commands
        return;
    }
    m_line.append(buffer, static_cast<size_t>(n));
    for (size_t eol; (eol = m_line.find('\n')) != std::string::npos;) {
        const std::string command = m_line.substr(0, eol);
        m_line.erase(0, eol + 1);
        std::string why;
        if (ApplyControlCommand(m_engine, command, m_clock.NowMs(), why))
            std::printf("control: ok %s\n", command.c_str());
        else
            std::printf("control: error %s\n", why.c_str());
    }
    if (m_line.size() > kMaxCommandLength) {
        std::printf("control: error command longer than %zu characters\n", kMaxCommandLength);
        m_line.clear();
    }
}

} // namespace mulvane
