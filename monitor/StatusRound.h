#pragma once
// One status round over a rack through the existing link: the controller's identification
// and module list, then for every listed module its identification, its status and, for the
// output modules, their output rates (the IP streamer also gives its block, for the protocol
// its rate is scaled by). The answers are kept raw; monitor/Measures.h decodes them.
//
// The round is bounded: every exchange takes the standard time-out of its command, cut to
// what is left of the round's budget, and the round stops when the budget is spent. A module
// that does not answer its identification is asked nothing more.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::link {
class CXmit;
}
namespace kaptiv::platform {
class Clock;
}

namespace kaptiv::monitor {

using Bytes = std::vector<uint8_t>;

struct ModuleAnswers {
    int slot = 0; // 0 the controller, then the module list's order
    uint8_t address = 0;
    uint8_t listedType = 0; // as the controller's module list gives it
    // False when the round ran out of time before the module could be asked in full: its
    // silence is then no sign that it is missing.
    bool asked = false;
    std::optional<Bytes> identify;
    std::optional<Bytes> status;
    std::optional<Bytes> readData;   // output modules: their rates
    std::optional<Bytes> parameters; // IP streamer: its block
};

enum class RoundFailure {
    None,
    NoController,   // the controller gave no identification answer
    NoModuleList,   // the controller did not give its module list
    TooManyModules, // the list names more modules than a rack holds
    OutOfTime,      // the budget was spent before the round ended
};
const char* ToText(RoundFailure failure);
// A short, bounded label for a metric ("no_controller"...).
const char* LabelOf(RoundFailure failure);

struct RoundAnswers {
    std::vector<ModuleAnswers> modules; // the controller first
    RoundFailure failure = RoundFailure::None;
    int exchanges = 0;
    int failedExchanges = 0;
};

// One exchange of a round: the command's standard time-out, cut to what is left before the
// deadline (`cut` tells whether it was). Counts the exchange in `out`. When less than one time
// unit is left, nothing is sent and out.failure becomes OutOfTime. A silent module clears the
// link-lost flag: one silent module says nothing about the others.
std::optional<Bytes> AskWithinDeadline(link::CXmit& xmit, platform::Clock& clock, int64_t deadline,
                                       RoundAnswers& out, uint8_t address, uint8_t command,
                                       int standardTimeout, bool* cut = nullptr);

struct RoundLimits {
    int64_t budgetMs = 10000;
};

// Runs the round on an open link (CXmit::OpenLink succeeded). Blocking, like every exchange.
RoundAnswers RunStatusRound(link::CXmit& xmit, platform::Clock& clock, const RoundLimits& limits);

} // namespace kaptiv::monitor
