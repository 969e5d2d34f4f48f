#include "sim/Shell.h"

#include <algorithm>

namespace mulvane {

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// A word as the shell holds it before quote removal is finished: each character with whether
// it was quoted (and so means only itself).
struct Word {
    std::string text;
    std::vector<bool> quoted;
    void Push(char c, bool plain) {
        text.push_back(c);
        quoted.push_back(plain);
    }
    bool Special(size_t i, char c) const { return text[i] == c && !quoted[i]; }
};

struct Token {
    Word word;
    bool redirect = false; // the word after '>'
};

// More words than this from one line (brace expansion multiplies them) is refused.
constexpr size_t kMaxWords = 256;

bool Refuse(std::string& why, std::string reason) {
    why = std::move(reason);
    return false;
}

// Reads one word from text[i]; false (with why) when the shell would do more than read it.
bool ReadWord(std::string_view text, size_t& i, Word& word, std::string& why) {
    bool any = false;
    while (i < text.size() && text[i] != ' ') {
        const char c = text[i];
        if (IsControl(static_cast<unsigned char>(c)))
            return Refuse(why, "control character");
        if (std::string_view(";&|()<").find(c) != std::string_view::npos)
            return Refuse(why,
                          std::string("'") + c + "' would start another command, a pipe or a redirection");
        if (c == '>')
            break; // a redirection glued to the word: the next token
        if (!any && (c == '#' || c == '~'))
            return Refuse(why, c == '#' ? "comment" : "home folder expansion");
        if (c == '$' || c == '`')
            return Refuse(why, "expansion or command substitution");
        any = true;
        if (c == '\\') {
            if (i + 1 >= text.size())
                return Refuse(why, "backslash at the end of the text");
            if (IsControl(static_cast<unsigned char>(text[i + 1])))
                return Refuse(why, "control character");
            word.Push(text[i + 1], true);
            i += 2;
        } else if (c == '\'') {
            const size_t close = text.find('\'', i + 1);
            if (close == std::string_view::npos)
                return Refuse(why, "unterminated quote");
            for (size_t k = i + 1; k < close; ++k) {
                if (IsControl(static_cast<unsigned char>(text[k])))
                    return Refuse(why, "control character");
                word.Push(text[k], true);
            }
            i = close + 1;
        } else if (c == '"') {
            ++i;
            for (;;) {
                if (i >= text.size())
                    return Refuse(why, "unterminated quote");
                const char q = text[i];
                if (q == '"')
                    break;
                if (IsControl(static_cast<unsigned char>(q)))
                    return Refuse(why, "control character");
                if (q == '$' || q == '`')
                    return Refuse(why, "expansion or command substitution inside double quotes");
                if (q == '\\' && i + 1 < text.size() &&
                    std::string_view("\\$`\"").find(text[i + 1]) != std::string_view::npos) {
                    word.Push(text[i + 1], true);
                    i += 2;
                    continue;
                }
                word.Push(q, true);
                ++i;
            }
            ++i;
        } else {
            word.Push(c, false);
            ++i;
        }
    }
    if (!any)
        return Refuse(why, "empty word");
    if (word.text.empty())
        return Refuse(why, "empty word");
    return true;
}

std::optional<std::vector<Token>> Lex(std::string_view text, std::string& why) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        Token token;
        if (text[i] == '>') {
            ++i;
            if (i < text.size() && std::string_view(">&|").find(text[i]) != std::string_view::npos) {
                why = "only a plain '>' redirection is taken";
                return std::nullopt;
            }
            token.redirect = true;
            while (i < text.size() && text[i] == ' ')
                ++i;
            if (i >= text.size() || text[i] == '>') {
                why = "redirection without a file";
                return std::nullopt;
            }
        }
        if (!ReadWord(text, i, token.word, why))
            return std::nullopt;
        tokens.push_back(std::move(token));
    }
    return tokens;
}

// Brace expansion of the comma form, leftmost first; false when it makes too many words.
bool ExpandBraces(const Word& w, std::vector<Word>& out, std::string& why) {
    for (size_t open = 0; open < w.text.size(); ++open) {
        if (!w.Special(open, '{'))
            continue;
        int depth = 0;
        size_t close = std::string::npos;
        std::vector<size_t> commas;
        for (size_t j = open + 1; j < w.text.size() && close == std::string::npos; ++j) {
            if (w.Special(j, '{'))
                ++depth;
            else if (w.Special(j, '}') && depth-- == 0)
                close = j;
            else if (w.Special(j, ',') && depth == 0)
                commas.push_back(j);
        }
        if (close == std::string::npos || commas.empty())
            continue; // "{b}", "{}" or an unmatched brace stay as written
        commas.push_back(close);
        size_t from = open + 1;
        for (size_t end : commas) {
            Word part;
            for (size_t k = 0; k < open; ++k)
                part.Push(w.text[k], w.quoted[k]);
            for (size_t k = from; k < end; ++k)
                part.Push(w.text[k], w.quoted[k]);
            for (size_t k = close + 1; k < w.text.size(); ++k)
                part.Push(w.text[k], w.quoted[k]);
            if (!ExpandBraces(part, out, why))
                return false;
            from = end + 1;
        }
        return true;
    }
    if (out.size() >= kMaxWords)
        return Refuse(why, "brace expansion makes too many words");
    out.push_back(w);
    return true;
}

bool HasPattern(const Word& w, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (w.Special(i, '*') || w.Special(i, '?') || w.Special(i, '['))
            return true;
    return false;
}

// Pathname expansion: the matches of the last step among the existing files, or the word.
bool ExpandPattern(const Word& w, std::span<const std::string> existing, std::vector<std::string>& out,
                   std::string& why) {
    const size_t slash = w.text.rfind('/');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    if (!HasPattern(w, nameAt, w.text.size())) {
        if (HasPattern(w, 0, nameAt))
            return Refuse(why, "pattern in a folder step");
        out.push_back(w.text);
        return true;
    }
    if (HasPattern(w, 0, nameAt))
        return Refuse(why, "pattern in a folder step");
    const std::string folder = w.text.substr(0, nameAt);
    const std::string_view pattern = std::string_view(w.text).substr(nameAt);
    const std::vector<bool> quoted(w.quoted.begin() + static_cast<std::ptrdiff_t>(nameAt), w.quoted.end());
    std::vector<std::string> matches;
    for (const std::string& path : existing) {
        if (!path.starts_with(folder) || path.size() == folder.size())
            continue;
        const std::string_view name = std::string_view(path).substr(folder.size());
        if (name.find('/') == std::string_view::npos && MatchPattern(pattern, quoted, name))
            matches.push_back(path);
    }
    if (matches.empty()) {
        out.push_back(w.text);
        return true;
    }
    std::sort(matches.begin(), matches.end());
    if (out.size() + matches.size() > kMaxWords)
        return Refuse(why, "pattern matches too many files");
    out.insert(out.end(), matches.begin(), matches.end());
    return true;
}

// One character of a pattern against ch: '?', a bracket expression or a plain character.
// next is set past what was matched.
bool MatchOne(std::string_view p, const std::vector<bool>& q, size_t pi, unsigned char ch, size_t& next) {
    const bool special = !q[pi];
    if (special && p[pi] == '?') {
        next = pi + 1;
        return true;
    }
    if (special && p[pi] == '[') {
        size_t j = pi + 1;
        const bool negate = j < p.size() && !q[j] && (p[j] == '!' || p[j] == '^');
        if (negate)
            ++j;
        bool matched = false;
        bool first = true;
        while (j < p.size()) {
            if (p[j] == ']' && !q[j] && !first) {
                next = j + 1;
                return matched != negate;
            }
            const auto lo = static_cast<unsigned char>(p[j]);
            if (j + 2 < p.size() && p[j + 1] == '-' && !q[j + 1] && !(p[j + 2] == ']' && !q[j + 2])) {
                const auto hi = static_cast<unsigned char>(p[j + 2]);
                matched = matched || (lo <= ch && ch <= hi);
                j += 3;
            } else {
                matched = matched || lo == ch;
                ++j;
            }
            first = false;
        }
        // No closing bracket: the '[' means itself.
    }
    next = pi + 1;
    return static_cast<unsigned char>(p[pi]) == ch;
}

} // namespace

bool MatchPattern(std::string_view pattern, const std::vector<bool>& quoted, std::string_view name) {
    if (quoted.size() != pattern.size())
        return false;
    if (!name.empty() && name[0] == '.' && (pattern.empty() || pattern[0] != '.'))
        return false; // a leading dot is matched only by a dot written in the pattern
    const auto star = [&](size_t i) { return pattern[i] == '*' && !quoted[i]; };
    size_t pi = 0;
    size_t si = 0;
    size_t starP = std::string_view::npos;
    size_t starS = 0;
    while (si < name.size()) {
        if (pi < pattern.size() && star(pi)) {
            starP = pi++;
            starS = si;
            continue;
        }
        size_t next = 0;
        if (pi < pattern.size() &&
            MatchOne(pattern, quoted, pi, static_cast<unsigned char>(name[si]), next)) {
            pi = next;
            ++si;
            continue;
        }
        if (starP == std::string_view::npos)
            return false;
        pi = starP + 1;
        si = ++starS;
    }
    while (pi < pattern.size() && star(pi))
        ++pi;
    return pi == pattern.size();
}

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

std::optional<ShellCommand> ParseShellCommand(std::string_view text, std::string& why,
                                              std::span<const std::string> existing) {
    if (text.size() > kMaxShellText) {
        why = "command longer than 255 bytes";
        return std::nullopt;
    }
    auto tokens = Lex(text, why);
    if (!tokens)
        return std::nullopt;
    if (tokens->empty()) {
        why = "empty command";
        return std::nullopt;
    }
    // Word expansions: braces, then patterns; the redirection's file is taken as written.
    std::vector<std::string> words;
    std::optional<std::string> target;
    for (const Token& token : *tokens) {
        if (token.redirect) {
            if (target) {
                why = "a second redirection";
                return std::nullopt;
            }
            std::vector<Word> expanded;
            if (!ExpandBraces(token.word, expanded, why))
                return std::nullopt;
            if (expanded.size() != 1) {
                why = "ambiguous redirection";
                return std::nullopt;
            }
            target = expanded[0].text;
            continue;
        }
        if (target) {
            why = "redirection only at the end of cat";
            return std::nullopt;
        }
        std::vector<Word> braced;
        if (!ExpandBraces(token.word, braced, why))
            return std::nullopt;
        for (const Word& w : braced)
            if (!ExpandPattern(w, existing, words, why))
                return std::nullopt;
        if (words.size() > kMaxWords) {
            why = "too many words";
            return std::nullopt;
        }
    }
    if (words.empty()) {
        why = "redirection without a command";
        return std::nullopt;
    }
    const std::string verb = words[0];
    std::vector<std::string> args(words.begin() + 1, words.end());
    ShellCommand command;
    if (verb == "rm") {
        if (args.empty() || args[0] != "-f") {
            why = "rm needs -f";
            return std::nullopt;
        }
        args.erase(args.begin());
        command.kind = ShellCommand::Kind::Remove;
        if (args.empty()) {
            why = "rm -f takes one path or more";
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
        if (args.empty() || !target) {
            why = "cat needs its sources and one >target";
            return std::nullopt;
        }
        if (!IsAcceptablePath(*target, why))
            return std::nullopt;
        command.target = *target;
    } else {
        why = "unknown command \"" + verb + "\"";
        return std::nullopt;
    }
    if (target && command.kind != ShellCommand::Kind::Concat) {
        why = "redirection only at the end of cat";
        return std::nullopt;
    }
    for (const std::string& arg : args) {
        if (!IsAcceptablePath(arg, why))
            return std::nullopt;
        command.paths.push_back(arg);
    }
    return command;
}

} // namespace mulvane
