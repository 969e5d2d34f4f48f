// Arbitrary text as a trace file: the reader must never read outside the text, whatever it
// accepts must format back into a line it accepts again with the same bytes, and trace show
// must decode what it holds (blocks, module lists, CAM packets) without a fault.
#include "link/LinkTrace.h"
#include "tools/TraceShow.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const kaptiv::link::TraceFile file = kaptiv::link::ParseTrace(text);
    if (file.lines.size() != file.lineNumbers.size())
        std::abort();
    for (const auto& line : file.lines) {
        const auto again = kaptiv::link::ParseTraceLine(kaptiv::link::FormatTraceLine(line));
        if (!again.Ok() || !again.line || again.line->request != line.request ||
            again.line->answer != line.answer || again.line->answered != line.answered ||
            again.line->result != line.result || again.line->ms != line.ms)
            std::abort();
    }
    std::string shown;
    if (kaptiv::tools::ShowTrace(text, shown) != static_cast<int>(file.errors.size()))
        std::abort();
    // The CAM decoders on the raw bytes as well, both ways.
    const std::span<const uint8_t> bytes(data, size);
    kaptiv::tools::DecodeCamIncoming(bytes).dump();
    kaptiv::tools::DecodeCamOutgoing(bytes).dump();
    return 0;
}
