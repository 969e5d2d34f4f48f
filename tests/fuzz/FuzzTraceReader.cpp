// Arbitrary text as a trace file: the reader must never read outside the text, and whatever
// it accepts must format back into a line it accepts again with the same bytes.
#include "link/LinkTrace.h"

#include <cstdint>
#include <cstdlib>
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
    return 0;
}
