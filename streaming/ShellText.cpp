#include "streaming/ShellText.h"

#include "text/ToolText.h"

namespace kaptiv::streaming {

namespace {

constexpr std::string_view kShellSpecials = "\"'\\$`;|&<>*?";

ShellText Refused(std::string problem) {
    return {{}, std::move(problem)};
}

ShellText Checked(std::string text, std::string_view name, size_t limit) {
    if (text.size() > limit)
        return Refused(text::FormatToolText(text::ToolText::UsbNameTooLong, {name}));
    return {std::move(text), {}};
}

} // namespace

std::optional<std::string> NameProblem(std::string_view name, bool unquoted) {
    if (name.empty())
        return text::LocalizedToolText(text::ToolText::UsbNameEmpty);
    if (name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return text::FormatToolText(text::ToolText::UsbNameNotOnKey, {name});
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F)
            return text::FormatToolText(text::ToolText::UsbNameControlCharacter, {name});
        if (kShellSpecials.find(ch) != std::string_view::npos)
            return text::FormatToolText(text::ToolText::UsbNameCharacter, {name, std::string_view(&ch, 1)});
        if (unquoted && ch == ' ')
            return text::FormatToolText(text::ToolText::UsbNameSpace, {name});
    }
    return std::nullopt;
}

ShellText RemoveOldCopyCommand(std::string_view name) {
    if (auto problem = NameProblem(name, false))
        return Refused(*problem);
    return Checked("rm -f \"/mnt/" + std::string(name) + "\"", name, kMaxCommandChars);
}

ShellText MoveUploadCommand(std::string_view name) {
    if (auto problem = NameProblem(name, false))
        return Refused(*problem);
    return Checked("mv \"/mnt/" + std::string(name) + ".tmp\" \"/mnt/" + std::string(name) + "\"", name,
                   kMaxCommandChars);
}

ShellText DeleteCommand(std::string_view name) {
    if (auto problem = NameProblem(name, true))
        return Refused(*problem);
    return Checked("rm -f /mnt/" + std::string(name), name, kMaxCommandChars);
}

ShellText RemovePathCommand(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash + 1);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (folder != kKeyFolder)
        return Refused(text::FormatToolText(text::ToolText::UsbNameNotOnKey, {path}));
    if (auto problem = NameProblem(name, false))
        return Refused(*problem);
    return Checked("rm -f \"" + std::string(path) + "\"", name, kMaxCommandChars);
}

ShellText UploadPath(std::string_view name) {
    if (auto problem = NameProblem(name, false))
        return Refused(*problem);
    // The whole replacement must fit as well: the move names the file twice.
    if (ShellText move = MoveUploadCommand(name); !move.Ok())
        return move;
    return Checked(std::string(kKeyFolder) + std::string(name) + ".tmp", name, kMaxModulePathChars);
}

std::string UploadName(std::string_view localPath) {
    const size_t slash = localPath.rfind('/');
    return std::string(slash == std::string_view::npos ? localPath : localPath.substr(slash + 1));
}

} // namespace kaptiv::streaming
