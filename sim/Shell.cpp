#include "sim/Shell.h"

namespace mulvane {

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Characters a bare word may not hold: anywhere in a word they would mean something to a
// POSIX shell (quoting, expansion, globbing, lists, pipes, redirection, subshells). '#' and
// '~' matter only at the start of a word, where a path has its '/'.
bool IsShellSpecial(char c) {
    constexpr std::string_view kSpecial = " \"'\\$`;|&<>*?[](){}";
    return kSpecial.find(c) != std::string_view::npos;
}

struct Word {
    std::string text;
    bool redirect = false; // written as >PATH
};

// Splits the text into words; nothing when a word is malformed.
std::optional<std::vector<Word>> SplitWords(std::string_view text, std::string& why) {
    std::vector<Word> words;
    size_t i = 0;
    while (i < text.size()) {
        if (!words.empty()) {
            if (text[i] != ' ') {
                why = "words must be separated by one blank";
                return std::nullopt;
            }
            ++i;
        }
        if (i >= text.size() || text[i] == ' ') {
            why = "empty word (leading, trailing or double blank)";
            return std::nullopt;
        }
        Word word;
        if (text[i] == '>') {
            word.redirect = true;
            ++i;
        }
        if (i < text.size() && text[i] == '"') {
            const size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos) {
                why = "unterminated quote";
                return std::nullopt;
            }
            word.text = std::string(text.substr(i + 1, close - i - 1));
            for (char c : word.text)
                if (c == '\\' || c == '$' || c == '`' || IsControl(static_cast<unsigned char>(c))) {
                    why = "quoted word holds a character the shell would interpret";
                    return std::nullopt;
                }
            i = close + 1;
            if (i < text.size() && text[i] != ' ') {
                why = "text glued to a quoted word";
                return std::nullopt;
            }
        } else {
            const size_t end = std::min(text.find(' ', i), text.size());
            word.text = std::string(text.substr(i, end - i));
            for (char c : word.text)
                if (IsShellSpecial(c) || IsControl(static_cast<unsigned char>(c))) {
                    why = std::string("bare word holds '") + c + "'";
                    return std::nullopt;
                }
            i = end;
        }
        if (word.text.empty()) {
            why = "empty word";
            return std::nullopt;
        }
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace

bool IsAcceptablePath(std::string_view path, std::string& why) {
    if (path.empty() || path[0] != '/') {
        why = "path is not absolute";
        return false;
    }
    if (path.size() > kMaxModulePath) {
        why = "path longer than 254 bytes";
        return false;
    }
    for (unsigned char c : path)
        if (IsControl(c)) {
            why = "control character in path";
            return false;
        }
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        if (path.substr(start, end - start) == "..") {
            why = "\"..\" in path";
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::optional<ShellCommand> ParseShellCommand(std::string_view text, std::string& why) {
    if (text.size() > kMaxShellText) {
        why = "command longer than 255 bytes";
        return std::nullopt;
    }
    auto words = SplitWords(text, why);
    if (!words)
        return std::nullopt;
    if (words->empty()) {
        why = "empty command";
        return std::nullopt;
    }
    const std::string& verb = (*words)[0].text;
    if ((*words)[0].redirect) {
        why = "redirection without a command";
        return std::nullopt;
    }
    // Every word after the verb (and the option of rm) is a path.
    ShellCommand command;
    std::vector<Word> args(words->begin() + 1, words->end());
    if (verb == "rm") {
        if (args.empty() || args[0].text != "-f" || args[0].redirect) {
            why = "rm needs -f";
            return std::nullopt;
        }
        args.erase(args.begin());
        command.kind = ShellCommand::Kind::Remove;
        if (args.size() != 1) {
            why = "rm -f takes one path";
            return std::nullopt;
        }
    } else if (verb == "mv") {
        command.kind = ShellCommand::Kind::Move;
        if (args.size() != 2) {
            why = "mv takes two paths";
            return std::nullopt;
        }
    } else if (verb == "sync") {
        command.kind = ShellCommand::Kind::Sync;
        if (!args.empty()) {
            why = "sync takes nothing";
            return std::nullopt;
        }
    } else if (verb == "touch") {
        command.kind = ShellCommand::Kind::Touch;
        if (args.size() != 1) {
            why = "touch takes one path";
            return std::nullopt;
        }
    } else if (verb == "cat") {
        command.kind = ShellCommand::Kind::Concat;
        if (args.size() < 2 || !args.back().redirect) {
            why = "cat needs its sources and one >target";
            return std::nullopt;
        }
        command.target = args.back().text;
        args.pop_back();
        if (!IsAcceptablePath(command.target, why))
            return std::nullopt;
    } else {
        why = "unknown command \"" + verb + "\"";
        return std::nullopt;
    }
    for (const Word& arg : args) {
        if (arg.redirect) {
            why = "redirection only at the end of cat";
            return std::nullopt;
        }
        if (!IsAcceptablePath(arg.text, why))
            return std::nullopt;
        command.paths.push_back(arg.text);
    }
    return command;
}

} // namespace mulvane
