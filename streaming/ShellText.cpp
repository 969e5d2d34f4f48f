#include "streaming/ShellText.h"

#include "text/ToolText.h"

namespace kaptiv::streaming {

namespace {

using text::ToolText;

// Characters that keep a meaning inside double quotation marks and are made plain by a
// backslash. The quotation mark itself, which opens and closes the word, is refused in a name
// rather than escaped.
constexpr std::string_view kEscapedInQuotes = "\\$`";

// The tool text with the name in place of its "%s".
std::string Named(ToolText id, std::string_view name) {
    std::string t = text::LocalizedToolText(id);
    const size_t at = t.find("%s");
    if (at != std::string::npos)
        t.replace(at, 2, name);
    return t;
}

ShellText Refused(std::string problem) {
    return {{}, std::move(problem)};
}

// Splits a module path into the key's folder and the name; nothing when it is not on the key.
std::optional<std::string_view> NameOnKey(std::string_view path) {
    const std::string_view folder = kKeyFolder;
    if (!path.starts_with(folder))
        return std::nullopt;
    return path.substr(folder.size());
}

void AppendQuoted(std::string& out, std::string_view path) {
    out.push_back('"');
    for (char c : path) {
        if (kEscapedInQuotes.find(c) != std::string_view::npos)
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

} // namespace

bool IsControlByte(unsigned char c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

std::optional<std::string> NameProblem(std::string_view name) {
    if (name.empty())
        return text::LocalizedToolText(ToolText::FileNameEmpty);
    if (name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return Named(ToolText::FileNameNotOnKey, name);
    for (char ch : name) {
        if (IsControlByte(static_cast<unsigned char>(ch)))
            return Named(ToolText::FileNameControl, name);
        if (ch == '"')
            return Named(ToolText::FileNameQuote, name);
    }
    return std::nullopt;
}

ShellText BuildShellCommand(std::string_view verb, std::initializer_list<std::string_view> paths) {
    std::string text(verb);
    std::string_view lastName;
    for (std::string_view path : paths) {
        const auto name = NameOnKey(path);
        if (!name)
            return Refused(Named(ToolText::FileNameNotOnKey, path));
        if (auto problem = NameProblem(*name))
            return Refused(*problem);
        text.push_back(' ');
        AppendQuoted(text, path);
        lastName = *name;
    }
    if (text.size() > kMaxCommandChars)
        return Refused(Named(ToolText::FileNameTooLong, lastName));
    return {std::move(text), {}};
}

ShellText RemoveOldCopyCommand(std::string_view name) {
    return BuildShellCommand("rm -f", {std::string(kKeyFolder) + std::string(name)});
}

ShellText MoveUploadCommand(std::string_view name) {
    const std::string target = std::string(kKeyFolder) + std::string(name);
    // The temporary name is checked as a name of its own too, so a name of "." or ".." is
    // refused here already rather than after its upload.
    if (auto problem = NameProblem(name))
        return Refused(*problem);
    return BuildShellCommand("mv", {target + ".tmp", target});
}

ShellText DeleteCommand(std::string_view name) {
    return RemoveOldCopyCommand(name);
}

ShellText RemovePathCommand(std::string_view path) {
    return BuildShellCommand("rm -f", {path});
}

ShellText UploadPath(std::string_view name) {
    // Every command of the upload must be possible before its first byte goes out.
    for (const ShellText& t : {MoveUploadCommand(name), RemoveOldCopyCommand(name)})
        if (!t.Ok())
            return t;
    std::string path = std::string(kKeyFolder) + std::string(name) + ".tmp";
    if (path.size() > kMaxModulePathChars)
        return Refused(Named(ToolText::FileNameTooLong, name));
    return {std::move(path), {}};
}

std::string UploadName(std::string_view localPath) {
    const size_t slash = localPath.rfind('/');
    return std::string(slash == std::string_view::npos ? localPath : localPath.substr(slash + 1));
}

} // namespace kaptiv::streaming
