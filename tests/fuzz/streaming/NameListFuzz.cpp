// The name list answer of a streaming module, and the shell texts built from the names it holds:
// no read past the answer, and no text that passes the checks carries a character that would
// change the command or exceeds the module's limit.
#include "streaming/ModuleAnswers.h"
#include "streaming/ShellText.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace {
void Check(bool holds) {
    if (!holds)
        std::abort();
}

// An accepted text is the verb, then words in double quotation marks in which a backslash
// comes only before `\`, `$` or the backquote, and `$` and the backquote only after one: the
// shell reads every word as plain text.
void CheckText(const kaptiv::streaming::ShellText& t) {
    if (!t.Ok()) {
        Check(t.text.empty());
        return;
    }
    Check(t.text.size() <= kaptiv::streaming::kMaxCommandChars);
    for (char c : t.text)
        Check(!kaptiv::streaming::IsControlByte(static_cast<unsigned char>(c)));
    size_t at = t.text.find('"');
    Check(at != std::string::npos);
    Check(t.text.substr(0, at) == "rm -f " || t.text.substr(0, at) == "mv ");
    while (at < t.text.size()) {
        Check(t.text[at] == '"');
        ++at;
        for (;;) {
            Check(at < t.text.size());
            const char c = t.text[at];
            if (c == '"')
                break;
            Check(c != '$' && c != '`');
            if (c == '\\') {
                Check(at + 1 < t.text.size() &&
                      std::string_view("\\$`").find(t.text[at + 1]) != std::string_view::npos);
                ++at;
            }
            ++at;
        }
        ++at;
        if (at < t.text.size()) {
            Check(t.text[at] == ' ');
            ++at;
        }
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
