#pragma once
// What the streaming modules answer about their files, read from outside bytes: every read is
// bounds-checked and a list that does not hold what its count promises is reported as cut.
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::streaming {

// ReadNameList: bytes 0-1 not examined, bytes 2-3 the number of names (big-endian), then the
// names, each ended by a 0 byte.
struct NameList {
    std::vector<std::string> names; // the complete names the answer holds, in its order
    bool complete = true;           // false: fewer complete names than the count announced
};
// Nothing when the answer is too short to hold the count.
std::optional<NameList> ParseNameList(std::span<const uint8_t> answer);

// The local log name: "<folder>/logs/LOG_M<address - 9>_<YYYYmmdd>_<HHMMSS>.txt".
std::string LogFileName(const std::string& folder, uint8_t address, const std::tm& local);

} // namespace kaptiv::streaming
