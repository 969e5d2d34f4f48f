// Texts from modules and broadcasts on their way into the report file: whatever the bytes, the
// escaped text carries no markup character and the file bytes are one byte per character with
// no bare line feed.
#include "report/ReportText.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {
void Check(bool holds) {
    if (!holds)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kaptiv::report;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string escaped = Escape(bytes);
    Check(escaped.find_first_of("<>\"") == std::string::npos);
    std::u32string wide;
    for (size_t k = 0; k + 4 <= size; k += 4)
        wide.push_back(char32_t(data[k]) | char32_t(data[k + 1]) << 8 | char32_t(data[k + 2]) << 16 |
                       char32_t(data[k + 3] & 0x1F) << 24);
    Check(Escape(wide).find_first_of("<>\"") == std::string::npos);
    const std::string file = FileBytes(bytes);
    Check(file.size() <= 2 * size);
    for (size_t k = 0; k < file.size(); ++k)
        if (file[k] == '\n')
            Check(k > 0 && file[k - 1] == '\r');
    Check(FileBytes(escaped).find_first_of("<>\"") == std::string::npos);
    return 0;
}
