#include "monitor/StatusRound.h"

#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "link/CommandSet.h"
#include "platform/Clock.h"
#include "platform/ModuleType.h"
#include "rack/RackImage.h"

#include <algorithm>
#include <mutex>

namespace kaptiv::monitor {

namespace {

// Standard time-outs of the commands (exchange units), as the command set sends them.
constexpr int kIdentifyTimeout = 10;
constexpr int kStatusTimeout = 100;
constexpr int kReadDataTimeout = 100;
constexpr int kParametersTimeout = 10;

class Round {
public:
    Round(link::CXmit& xmit, platform::Clock& clock, const RoundLimits& limits, RoundAnswers& out)
        : m_xmit(xmit), m_clock(clock), m_deadline(clock.NowMs() + limits.budgetMs), m_out(out) {}

    // One exchange without data; the answer's data on a positive answer.
    std::optional<Bytes> Ask(uint8_t address, uint8_t command, int standardTimeout) {
        return AskWithinDeadline(m_xmit, m_clock, m_deadline, m_out, address, command, standardTimeout,
                                 &m_lastCut);
    }
    bool OutOfTime() const { return m_out.failure == RoundFailure::OutOfTime; }
    // The last exchange had less than its command's time-out: a silence then proves nothing.
    bool LastWasCut() const { return m_lastCut; }

private:
    link::CXmit& m_xmit;
    platform::Clock& m_clock;
    int64_t m_deadline;
    RoundAnswers& m_out;
    bool m_lastCut = false;
};

void AskModule(Round& round, ModuleAnswers& module) {
    module.identify = round.Ask(module.address, link::cmd::kIdentify, kIdentifyTimeout);
    // A module is asked when it answered, or stayed silent for the whole standard time-out.
    module.asked = module.identify || (!round.OutOfTime() && !round.LastWasCut());
    if (!module.identify)
        return;
    const uint8_t type = module.identify->size() >= 2 && (*module.identify)[0] == link::CXmit::kIdentifyMark
                             ? (*module.identify)[1]
                             : module.listedType;
    module.status = round.Ask(module.address, link::cmd::kReadStatus, kStatusTimeout);
    if (IsOutputType(type) && module.address != link::kControllerAddress)
        module.readData = round.Ask(module.address, link::cmd::kReadData, kReadDataTimeout);
    if (type == type::kIpStreamer)
        module.parameters = round.Ask(module.address, link::cmd::kReadParameters, kParametersTimeout);
}

} // namespace

std::optional<Bytes> AskWithinDeadline(link::CXmit& xmit, platform::Clock& clock, int64_t deadline,
                                       RoundAnswers& out, uint8_t address, uint8_t command,
                                       int standardTimeout, bool* cut) {
    const int64_t left = deadline - clock.NowMs();
    const int64_t unit =
        xmit.IsGatewayLinkUp() ? link::CSSocket::kTcpTimeUnitMs : link::CXmit::kSerialTimeUnitMs;
    if (left < unit) {
        out.failure = RoundFailure::OutOfTime;
        return std::nullopt;
    }
    const int timeout = static_cast<int>(std::min<int64_t>(standardTimeout, left / unit));
    if (cut)
        *cut = timeout < standardTimeout;
    std::lock_guard<std::recursive_mutex> lock(xmit.ExchangeLock());
    ++out.exchanges;
    // A module silent in a round is a measure, not a lost link; a loss that another exchange
    // saw before this one is left for the link's watchdog.
    const bool lostBefore = xmit.IsLinkLost();
    if (!xmit.Exchange(0, address, command, nullptr, timeout)) {
        ++out.failedExchanges;
        if (!lostBefore)
            xmit.ClearLinkLost();
        return std::nullopt;
    }
    const uint8_t* data = xmit.AnswerData();
    return Bytes(data, data + xmit.AnswerLength());
}

const char* ToText(RoundFailure failure) {
    switch (failure) {
    case RoundFailure::None:
        return "round complete";
    case RoundFailure::NoController:
        return "the rack controller does not answer";
    case RoundFailure::NoModuleList:
        return "the rack controller did not give its module list";
    case RoundFailure::TooManyModules:
        return "the module list names more modules than a rack holds";
    case RoundFailure::OutOfTime:
        return "the round ran out of time";
    }
    return "unknown";
}

const char* LabelOf(RoundFailure failure) {
    switch (failure) {
    case RoundFailure::None:
        return "none";
    case RoundFailure::NoController:
        return "no_controller";
    case RoundFailure::NoModuleList:
        return "no_module_list";
    case RoundFailure::TooManyModules:
        return "too_many_modules";
    case RoundFailure::OutOfTime:
        return "out_of_time";
    }
    return "unknown";
}

RoundAnswers RunStatusRound(link::CXmit& xmit, platform::Clock& clock, const RoundLimits& limits) {
    RoundAnswers out;
    Round round(xmit, clock, limits, out);
    ModuleAnswers controller;
    controller.address = link::kControllerAddress;
    controller.listedType = type::kPowerSupply;
    controller.asked = true;
    controller.identify = round.Ask(controller.address, link::cmd::kIdentify, kIdentifyTimeout);
    if (!controller.identify) {
        if (!round.OutOfTime())
            out.failure = RoundFailure::NoController;
        out.modules.push_back(std::move(controller));
        return out;
    }
    const auto list = round.Ask(link::kControllerAddress, link::cmd::kReadData, kReadDataTimeout);
    controller.status = round.Ask(controller.address, link::cmd::kReadStatus, kStatusTimeout);
    out.modules.push_back(std::move(controller));
    if (!list) {
        if (!round.OutOfTime())
            out.failure = RoundFailure::NoModuleList;
        return out;
    }
    const auto entries = rack::ParseModuleList(*list);
    if (!entries) {
        out.failure = RoundFailure::TooManyModules;
        return out;
    }
    int slot = 1;
    for (const rack::ModuleListEntry& entry : *entries) {
        ModuleAnswers module;
        module.slot = slot++;
        module.address = entry.address;
        module.listedType = entry.type;
        if (!round.OutOfTime())
            AskModule(round, module);
        out.modules.push_back(std::move(module));
    }
    return out;
}

} // namespace kaptiv::monitor
