#include "sim/AnswerFaults.h"

#include "sim/Protocol.h"

namespace mulvane {

std::optional<AnswerFault> AnswerFaultByName(std::string_view name) {
    if (name == "truncated")
        return AnswerFault::Truncated;
    if (name == "byte-by-byte")
        return AnswerFault::ByteByByte;
    if (name == "other-address")
        return AnswerFault::OtherAddress;
    return std::nullopt;
}

std::vector<uint8_t> TruncatedAnswer(std::span<const uint8_t> whole) {
    return {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)};
}

uint8_t OtherAddress(uint8_t source) {
    uint8_t other = static_cast<uint8_t>(source + 1);
    while (other == source || other == kAddrPc || other == kAddrAll)
        ++other;
    return other;
}

std::vector<std::vector<uint8_t>> DeliveryPieces(std::span<const uint8_t> whole, bool truncated,
                                                 bool byteByByte) {
    std::vector<uint8_t> bytes =
        truncated ? TruncatedAnswer(whole) : std::vector<uint8_t>(whole.begin(), whole.end());
    std::vector<std::vector<uint8_t>> pieces;
    if (!byteByByte) {
        if (!bytes.empty())
            pieces.push_back(std::move(bytes));
        return pieces;
    }
    for (uint8_t b : bytes)
        pieces.push_back({b});
    return pieces;
}

} // namespace mulvane
