#include "settings/Crc32Mpeg2.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kaptiv::settings {
namespace {

std::span<const uint8_t> AsBytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(Crc32Mpeg2, CheckValueAndEmptyInput) {
    EXPECT_EQ(Crc32Mpeg2::Of(AsBytes("123456789")), 0x0376E6E7u);
    EXPECT_EQ(Crc32Mpeg2::Of({}), 0xFFFFFFFFu); // no final inversion
}

TEST(Crc32Mpeg2, ChunkedInputGivesTheSameValueAndResetStartsOver) {
    const std::string_view text = "123456789";
    for (size_t split = 0; split <= text.size(); ++split) {
        Crc32Mpeg2 crc;
        crc.Add(AsBytes(text.substr(0, split)));
        for (char c : text.substr(split))
            crc.Add(static_cast<uint8_t>(c));
        EXPECT_EQ(crc.Value(), 0x0376E6E7u) << "split at " << split;
    }
    Crc32Mpeg2 crc;
    crc.Add(AsBytes("garbage"));
    crc.Reset();
    crc.Add(AsBytes(text));
    EXPECT_EQ(crc.Value(), 0x0376E6E7u);
}

} // namespace
} // namespace kaptiv::settings
