#pragma once
// Helpers of the block codec tests: hex fixtures ('#' comments) and byte comparisons that print
// a hex diff.
#include "platform/Bytes.h"
#include "platform/HexText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kaptiv::settings::test {

// Hex text as the fixtures and the tests write it, read by the one hex parser of the tree.
inline std::vector<uint8_t> Hex(const std::string& text) {
    platform::HexTextResult result = platform::ParseHexText(text);
    if (!result.Ok())
        ADD_FAILURE() << "not hex text: " << result.error;
    return std::move(result.bytes);
}

inline std::vector<uint8_t> Fixture(const std::string& name) {
    std::ifstream in(std::string(KAPTIV_BLOCK_FIXTURES) + "/" + name);
    if (!in) {
        ADD_FAILURE() << "missing fixture " << KAPTIV_BLOCK_FIXTURES << "/" << name;
        return {};
    }
    std::stringstream text;
    text << in.rdbuf();
    return Hex(text.str());
}

inline ::testing::AssertionResult SameBytes(const std::vector<uint8_t>& expected,
                                            const std::vector<uint8_t>& actual) {
    if (expected == actual)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    const size_t from = at >= 8 ? at - 8 : 0;
    auto window = [from](const std::vector<uint8_t>& b) {
        if (from >= b.size())
            return std::string("(ends)");
        return platform::HexDump(std::span(b).subspan(from), 32);
    };
    return ::testing::AssertionFailure()
           << "blocks differ at offset " << at << " (sizes " << expected.size() << " and " << actual.size()
           << ")\n  expected from " << from << ": " << window(expected) << "\n  actual   from " << from
           << ": " << window(actual);
}

} // namespace kaptiv::settings::test
