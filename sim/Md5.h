#pragma once
// MD5 (RFC 1321) of a whole buffer, for the names of the HD encoder component files the
// simulator writes. The simulator's own copy: it shares no code with the tool.
#include <cstdint>
#include <span>
#include <string>

namespace mulvane {

// 32 upper-case hexadecimal digits.
std::string Md5Hex(std::span<const uint8_t> data);

} // namespace mulvane
