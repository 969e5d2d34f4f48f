#pragma once
// Reading and writing outside bytes. Both sides keep a sticky error flag: read or write
// straight through, check Ok() once at the end. A reader never reads past its end (it
// returns 0 and raises the flag); a writer never writes past its capacity.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::platform {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

    bool Ok() const { return !m_error; }
    size_t Position() const { return m_pos; }
    size_t Size() const { return m_size; }
    size_t Remaining() const { return m_size - m_pos; }
    bool AtEnd() const { return m_pos >= m_size; }
    // Whether the n bytes from absolute offset lie inside the data (short-block rules).
    bool Has(size_t offset, size_t n = 1) const { return offset <= m_size && n <= m_size - offset; }

    void Seek(size_t pos) {
        if (pos > m_size) {
            m_error = true;
            m_pos = m_size;
        } else {
            m_pos = pos;
        }
    }
    void Skip(size_t n) { Seek(n <= Remaining() ? m_pos + n : m_size + 1); }

    uint8_t U8() {
        if (m_pos >= m_size) {
            m_error = true;
            return 0;
        }
        return m_data[m_pos++];
    }
    uint16_t U16() { // big-endian
        const uint16_t hi = U8();
        return static_cast<uint16_t>((hi << 8) | U8());
    }
    uint32_t U24() {
        const uint32_t hi = U16();
        return (hi << 8) | U8();
    }
    uint32_t U32() {
        const uint32_t hi = U16();
        return (hi << 16) | U16();
    }
    // Copies n bytes; on a short read copies nothing and raises the flag.
    std::vector<uint8_t> Bytes(size_t n) {
        if (n > Remaining()) {
            m_error = true;
            m_pos = m_size;
            return {};
        }
        std::vector<uint8_t> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }
    std::span<const uint8_t> Rest() const { return {m_data + m_pos, m_size - m_pos}; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_error = false;
};

class ByteWriter {
public:
    explicit ByteWriter(size_t capacity) : m_capacity(capacity) {
        m_bytes.reserve(capacity < 65536 ? capacity : 65536);
    }

    bool Ok() const { return !m_error; }
    size_t Size() const { return m_bytes.size(); }
    size_t Capacity() const { return m_capacity; }
    const std::vector<uint8_t>& Data() const { return m_bytes; }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

    void U8(uint8_t b) {
        if (m_bytes.size() >= m_capacity) {
            m_error = true;
            return;
        }
        m_bytes.push_back(b);
    }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v >> 8));
        U8(static_cast<uint8_t>(v));
    }
    void U24(uint32_t v) {
        U8(static_cast<uint8_t>(v >> 16));
        U16(static_cast<uint16_t>(v));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v >> 16));
        U16(static_cast<uint16_t>(v));
    }
    void Bytes(std::span<const uint8_t> bytes) {
        if (bytes.size() > m_capacity - m_bytes.size()) {
            m_error = true;
            return;
        }
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    // Overwrites an already written byte (length fields filled in afterwards).
    void PatchU8(size_t at, uint8_t b) {
        if (at < m_bytes.size())
            m_bytes[at] = b;
        else
            m_error = true;
    }
    void PatchU16(size_t at, uint16_t v) {
        PatchU8(at, static_cast<uint8_t>(v >> 8));
        PatchU8(at + 1, static_cast<uint8_t>(v));
    }
    // Raise the flag from outside (a value that does not fit its field).
    void Fail() { m_error = true; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_capacity;
    bool m_error = false;
};

// "0A 1B ..." for messages and test diffs.
std::string HexDump(std::span<const uint8_t> bytes, size_t maxBytes = 64);

} // namespace kaptiv::platform
