// Received service lists: the first byte picks the input module type (1, 4, 7, 9, 10, 12, 14),
// the rest is the module's answer. Parsing never reads outside the answer, keeps at most 100
// services per input, and every service it keeps was wholly inside the answer.
#include "editor/ReceivedServices.h"
#include "platform/ModuleType.h"

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

constexpr uint8_t kTypes[] = {kaptiv::type::kSat1_0,    kaptiv::type::kSat1, kaptiv::type::kSat2_0,
                              kaptiv::type::kAvEncoder, kaptiv::type::kSat2, kaptiv::type::kTerrestrial,
                              kaptiv::type::kHdEncoder};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t type = kTypes[data[0] % std::size(kTypes)];
    const std::span<const uint8_t> answer(data + 1, size - 1);
    const auto received = kaptiv::editor::ParseReceivedServices(type, answer);
    if (received.inputs.size() != static_cast<size_t>(kaptiv::InputListCount(type)))
        std::abort();
    size_t total = 0;
    for (const auto& input : received.inputs) {
        if (input.services.size() > kaptiv::editor::kMaxReceivedServices)
            std::abort();
        for (const auto& service : input.services) {
            // Every kept service took at least its id, its name's 0 byte and its flag byte.
            total += 4 + service.name.size();
            if (service.serviceType != 1 && service.serviceType != 2)
                std::abort();
        }
    }
    if (total > answer.size())
        std::abort();
    return 0;
}
