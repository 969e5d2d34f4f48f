#pragma once
// Results of the parameter block codecs. Nothing raises: a codec that refuses its input says
// why in `error`, and an empty `error` means success.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kaptiv::settings {

// A module keeps at most this many bytes of parameter block (the rack image's area).
inline constexpr size_t kMaxBlockSize = 1024;

struct EncodeResult {
    std::vector<uint8_t> block; // the whole block; its size is the new block length
    std::string error;          // empty on success; then `block` is meaningful

    bool Ok() const { return error.empty(); }
    static EncodeResult Failure(std::string why) { return {{}, std::move(why)}; }
};

template <typename Values> struct DecodeResult {
    Values values{};
    std::string error; // empty on success; otherwise `values` must not be used

    bool Ok() const { return error.empty(); }
    static DecodeResult Failure(std::string why) {
        DecodeResult r;
        r.error = std::move(why);
        return r;
    }
};

} // namespace kaptiv::settings
