#pragma once
// MD5 message digest (RFC 1321), incremental: the HD encoder component files carry the
// digest of their own contents in their names.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kaptiv::firmware {

class Md5 {
public:
    using Digest = std::array<uint8_t, 16>;

    Md5() { Reset(); }
    void Reset();
    void Add(std::span<const uint8_t> data);
    // Finishes the digest; the object must be Reset before it is used again.
    Digest Finish();

    static Digest Of(std::span<const uint8_t> data);
    // 32 hexadecimal digits, upper case, as the component file names carry them.
    static std::string Hex(const Digest& digest);

private:
    void Transform(const uint8_t* block);

    std::array<uint32_t, 4> m_state{};
    uint64_t m_length = 0; // bytes added
    std::array<uint8_t, 64> m_buffer{};
    size_t m_buffered = 0;
};

} // namespace kaptiv::firmware
