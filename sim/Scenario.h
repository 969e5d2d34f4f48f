#pragma once
// Changes of a module's condition while the simulator runs, so that a watch over the rack
// can be tested: one command a line, given on standard input (--control) or at set times in a
// scenario file (--scenario FILE).
//
// Commands (ADDRESS: the module's bus address in decimal; INPUT: A, B or C):
//   antenna ADDRESS INPUT lost|back   the input's antenna or cable out or in again
//   level ADDRESS INPUT N             the input's level held at N (0..100) while it has a signal
//   cam ADDRESS removed|inserted      the CAM of a common-interface module pulled out or put in
//   silent ADDRESS on|off             the module stops answering (it stays on the module list)
//   module ADDRESS removed|inserted   the module leaves the rack (and the module list) or comes back
//
// Scenario file: one event a line, "SECONDS COMMAND" (seconds after the start, decimals
// allowed, in any order); blank lines and lines starting with '#' are skipped. At most
// kMaxScenarioEvents events, each line at most kMaxCommandLength characters.
//
//   # input A loses its antenna after 20 s and gets it back 40 s later
//   20 antenna 10 A lost
//   60 antenna 10 A back
#include "platform/Clock.h"
#include "sim/Engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mulvane {

inline constexpr size_t kMaxScenarioEvents = 10000;
inline constexpr size_t kMaxCommandLength = 256;
inline constexpr int64_t kMaxScenarioMs = 366LL * 24 * 3600 * 1000;

struct ScenarioEvent {
    int64_t atMs = 0;
    std::string command;
    int line = 0;
};

// Checks every command; nothing (and the line and reason) when one is wrong. Events come back
// in time order (events at the same time in file order).
std::optional<std::vector<ScenarioEvent>> ParseScenario(const std::string& text, std::string& error);

// Whether the text is a command as above (without applying it); the reason when not.
bool CheckControlCommand(const std::string& command, std::string& error);
// Applies one command to the rack at nowMs; false with the reason when it is not a command.
bool ApplyControlCommand(RackEngine& engine, const std::string& command, int64_t nowMs, std::string& error);

// Plays a scenario: each call applies the events that are due.
class ScenarioPlayer {
public:
    ScenarioPlayer(std::vector<ScenarioEvent> events, int64_t startMs)
        : m_events(std::move(events)), m_startMs(startMs) {}
    // The commands applied by this call, in order.
    std::vector<std::string> Play(RackEngine& engine, int64_t nowMs);
    bool Done() const { return m_next >= m_events.size(); }

private:
    std::vector<ScenarioEvent> m_events;
    int64_t m_startMs;
    size_t m_next = 0;
};

// The program's side: plays the scenario and, with control on, applies the command lines
// that arrive on standard input, each answered on standard output ("control: ok COMMAND",
// "control: error REASON"; "scenario: COMMAND" for each event played).
class ScenarioConsole {
public:
    ScenarioConsole(RackEngine& engine, std::vector<ScenarioEvent> scenario, bool control);
    // Waits at most waitMs for input, then plays what is due.
    void Poll(int waitMs);

private:
    void TakeInput();

    RackEngine& m_engine;
    kaptiv::platform::RealClock m_clock;
    ScenarioPlayer m_player;
    bool m_control;
    std::string m_line;
};

} // namespace mulvane
