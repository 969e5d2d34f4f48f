// The name list answer of a streaming module, and the shell texts built from the names it holds:
// no read past the answer, and no text that passes the checks carries a character that would
// change the command or exceeds the module's limit.
#include "streaming/ModuleAnswers.h"
#include "streaming/ShellText.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

namespace {
void Check(bool holds) {
    if (!holds)
        std::abort();
}

void CheckText(const kaptiv::streaming::ShellText& t) {
    if (!t.Ok()) {
        Check(t.text.empty());
        return;
    }
    Check(t.text.size() <= kaptiv::streaming::kMaxCommandChars);
    for (char c : t.text) {
        Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        Check(std::string_view("'\\$`;|&<>*?").find(c) == std::string_view::npos);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kaptiv::streaming;
    const auto list = ParseNameList(std::span<const uint8_t>(data, size));
    if (!list)
        return 0;
    size_t bytes = 4;
    for (const std::string& name : list->names) {
        bytes += name.size() + 1;
        Check(name.find('\0') == std::string::npos);
        CheckText(DeleteCommand(name));
        CheckText(RemoveOldCopyCommand(name));
        CheckText(MoveUploadCommand(name));
        const ShellText path = UploadPath(name);
        if (path.Ok())
            Check(path.text.size() <= kMaxModulePathChars);
    }
    Check(bytes <= size);
    return 0;
}
