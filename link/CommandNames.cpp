#include "link/CommandNames.h"

#include "link/CommandSet.h"

#include <array>
#include <utility>

namespace kaptiv::link {

namespace {

// A text payload ends with its 0; a number payload of the file commands is two bytes.
bool EndsAsText(std::span<const uint8_t> request) {
    return request.size() >= 2 && request.back() == 0 && request.size() != 3;
}

std::string_view FileName(std::span<const uint8_t> request) {
    if (request.empty())
        return "File";
    switch (request[0]) {
    case cmd::kFileCreate:
        return EndsAsText(request) ? "CreateByName" : "CreateByNumber";
    case cmd::kFileOpen:
        return EndsAsText(request) ? "OpenByName" : "OpenByNumber";
    case cmd::kFileClose:
        return "Close";
    case cmd::kFileRead:
        return "ReadBlock";
    case cmd::kFileWriteForm4:
        return "WriteForm4";
    case cmd::kFileWriteForm5:
        return "WriteForm5";
    case cmd::kFileSetOption:
        return "SetOption";
    default:
        return "File";
    }
}

std::string_view FlashName(std::span<const uint8_t> request) {
    if (request.empty())
        return "Flash";
    switch (request[0]) {
    case cmd::kFlashBegin:
        return "FlashBegin";
    case cmd::kFlashWrite:
        return "FlashWrite";
    case cmd::kFlashEnd:
        return "FlashEnd";
    case cmd::kRestartAll:
        return "RestartAll";
    default:
        return "Flash";
    }
}

constexpr std::array<std::pair<LinkResult, std::string_view>, 8> kResultTokens = {{
    {LinkResult::Ok, "ok"},
    {LinkResult::NoLink, "no-link"},
    {LinkResult::Timeout, "timeout"},
    {LinkResult::Negative, "negative"},
    {LinkResult::BadChecksum, "bad-checksum"},
    {LinkResult::AnswerTooLong, "answer-too-long"},
    {LinkResult::Refused, "refused"},
    {LinkResult::SendFailed, "send-failed"},
}};

} // namespace

std::string_view CommandName(uint8_t command, std::span<const uint8_t> request) {
    switch (command) {
    case cmd::kIdentify:
        return "Identify";
    case cmd::kReadStatus:
        return "ReadStatus";
    case cmd::kWriteData:
        return "WriteData";
    case cmd::kReadData:
        return "ReadData";
    case cmd::kReadParameters:
        return "ReadParameters";
    case cmd::kExecute:
        return request.empty() ? "Execute" : "ExecuteText";
    case cmd::kReadNameList:
        return "ReadNameList";
    case cmd::kFile:
        return FileName(request);
    case cmd::kSetMode:
        return "SetMode";
    case cmd::kFlash:
        return FlashName(request);
    default:
        return "Unknown";
    }
}

std::string_view ResultToken(LinkResult result) {
    for (const auto& [value, token] : kResultTokens)
        if (value == result)
            return token;
    return "unknown";
}

std::optional<LinkResult> ResultFromToken(std::string_view token) {
    for (const auto& [value, t] : kResultTokens)
        if (t == token)
            return value;
    return std::nullopt;
}

} // namespace kaptiv::link
