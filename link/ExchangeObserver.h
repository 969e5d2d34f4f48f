#pragma once
// A low-level observer of the link: told once per exchange, right after its result is known,
// what went out and what came back. Used by the support trace (link/LinkTrace.h); it must
// not make requests of its own from inside the call.
#include "link/LinkResult.h"

#include <cstdint>
#include <span>

namespace kaptiv::link {

struct ExchangeRecord {
    uint8_t address = 0;
    uint8_t command = 0;              // high nibble 0x10..0xC0
    std::span<const uint8_t> request; // the data bytes of the request (no frame, no stuffing)
    LinkResult result = LinkResult::NoLink;
    uint8_t answerControl = 0;       // meaningful only when an answer came
    std::span<const uint8_t> answer; // the answer's data bytes (empty when none came)
    bool viaGateway = false;         // through the IP gateway, else the serial bus (or no link)
};

class ExchangeObserver {
public:
    virtual ~ExchangeObserver() = default;
    virtual void OnExchange(const ExchangeRecord& record) = 0;
};

} // namespace kaptiv::link
