// Arbitrary bytes off the serial line into the answer receiver: it must never read or write
// outside its areas, and a complete answer must be consistent with what it announced.
#include "link/Frame.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kaptiv::link::AnswerParser parser;
    for (size_t i = 0; i < size; ++i) {
        const auto outcome = parser.Feed(data[i]);
        if (outcome == kaptiv::link::AnswerParser::Outcome::Pending)
            continue;
        if (parser.Length() > kaptiv::link::kAreaSize)
            std::abort();
        if (outcome == kaptiv::link::AnswerParser::Outcome::Positive && parser.Control() != 0xF0)
            std::abort();
        parser.Reset();
    }
    // The builder must refuse or fit whatever it is given.
    kaptiv::link::FrameBuilder builder;
    if (size >= 2 && builder.Build(data[0], data[1], data + 2, size - 2) &&
        builder.Size() > kaptiv::link::kAreaSize)
        std::abort();
    return 0;
}
