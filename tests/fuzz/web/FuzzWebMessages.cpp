// Browser messages are untrusted: the parser must never crash or throw, and whatever it
// accepts must survive encode -> parse unchanged.
#include "web/Protocol.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kaptiv::web;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedBrowserMessage parsed = ParseBrowserMessage(text);
    if (!parsed.message) {
        if (parsed.error.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const std::string encoded = EncodeBrowserMessage(*parsed.message);
    const ParsedBrowserMessage again = ParseBrowserMessage(encoded);
    if (!again.message)
        std::abort();
    // Stable: a second round gives the same bytes.
    if (EncodeBrowserMessage(*again.message) != encoded)
        std::abort();
    const auto& a = parsed.message->event;
    const auto& b = again.message->event;
    if (a.kind != b.kind || a.dialogId != b.dialogId || a.controlId != b.controlId || a.text != b.text ||
        a.rows != b.rows || parsed.message->path != again.message->path ||
        parsed.message->answer.paths != again.message->answer.paths)
        std::abort();
    return 0;
}
