#pragma once
// The PC's side of the simulated serial bus for tests on virtual time: send one request,
// skip its echo, and wait (by jumping the virtual clock) for the answer.
#include "sim/Frame.h"
#include "sim/Protocol.h"
#include "sim/SerialLine.h"

#include <optional>
#include <vector>

namespace mulvane::test {

struct BusExchange {
    std::vector<uint8_t> raw;    // everything read off the line (echo and answer)
    std::optional<Frame> answer; // the first well-formed frame addressed to the PC
    int64_t answeredAtMs = 0;
};

inline BusExchange Exchange(SerialLine& line, int64_t& nowMs, uint8_t destination, uint8_t command,
                            const std::vector<uint8_t>& data = {}, int64_t timeoutMs = 100) {
    BusExchange result;
    auto frame = EncodeFrame(destination, kAddrPc, command, data);
    line.SerialWrite(*frame, nowMs);
    const int64_t deadline = nowMs + timeoutMs;
    FrameParser parser;
    while (nowMs <= deadline) {
        uint8_t buffer[512];
        const size_t n = line.SerialRead(buffer, sizeof buffer, nowMs);
        for (size_t i = 0; i < n; ++i) {
            result.raw.push_back(buffer[i]);
            auto got = parser.Push(buffer[i]);
            if (got && got->destination == kAddrPc && !result.answer) {
                result.answer = std::move(got);
                result.answeredAtMs = nowMs;
            }
        }
        if (result.answer)
            break;
        auto next = line.SerialNextOutputMs();
        if (!next || *next > deadline) {
            nowMs = deadline;
            break;
        }
        nowMs = std::max(nowMs, *next);
    }
    return result;
}

} // namespace mulvane::test
