#include "streaming/ModuleAnswers.h"

#include "platform/Bytes.h"

#include <cstdio>

namespace kaptiv::streaming {

std::optional<NameList> ParseNameList(std::span<const uint8_t> answer) {
    if (answer.size() < 4)
        return std::nullopt;
    const size_t count = size_t(answer[2]) << 8 | answer[3];
    NameList list;
    size_t pos = 4;
    while (list.names.size() < count) {
        size_t end = pos;
        while (end < answer.size() && answer[end] != 0)
            ++end;
        if (end >= answer.size()) { // the last name has no ending 0: not taken
            list.complete = false;
            break;
        }
        list.names.emplace_back(reinterpret_cast<const char*>(answer.data() + pos), end - pos);
        pos = end + 1;
    }
    return list;
}

std::string LogFileName(const std::string& folder, uint8_t address, const std::tm& local) {
    char date[16] = {};
    char time[16] = {};
    std::strftime(date, sizeof date, "%Y%m%d", &local);
    std::strftime(time, sizeof time, "%H%M%S", &local);
    char name[64];
    std::snprintf(name, sizeof name, "LOG_M%d_%s_%s.txt", int(address) - 9, date, time);
    return folder + "/logs/" + name;
}

} // namespace kaptiv::streaming
