#include "report/ReportText.h"

#include <cctype>
#include <cstdio>

namespace kaptiv::report {

namespace {
void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendEscaped(std::string& out, char32_t c) {
    switch (c) {
    case U'&':
        out += "&amp;";
        break;
    case U'<':
        out += "&lt;";
        break;
    case U'>':
        out += "&gt;";
        break;
    case U'"':
        out += "&quot;";
        break;
    default:
        AppendUtf8(out, c);
        break;
    }
}
} // namespace

std::string TitleBlockEnd(const std::string& dateTime) {
    return "<br>" + dateTime + "<br></h2>\n";
}

std::string ModuleHeading(const std::string& name, int release) {
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "V%d.%d", release / 10, release % 10);
    return "<h2 align =\"CENTER\" style=\"color: #000000; background-color: #44CC44\">" + name + "<br>" +
           numbers + "</h2>\n";
}

std::string HeadingCell(const std::string& text) {
    return "<td align=\"CENTER\" bgcolor=\"#DFDFFF\"><font size=\"2\"><b> " + text + " </b></font></td>\n";
}

std::string HeadingSpanCell(int columns, const std::string& text) {
    if (columns == 0)
        return {};
    return "<td align=\"CENTER\" bgcolor=\"#DFDFFF\" colspan =\"" + std::to_string(columns) +
           "\"><font size=\"2\"><b> " + text + " </b></font></td>\n";
}

std::string DataCell(const std::string& text) {
    return "<td align=\"CENTER\"><font size=\"2\"> " + text + " </font></td>\n";
}

std::string Escape(std::string_view utf8) {
    // Only ASCII bytes are escaped; multi-byte sequences pass through as they are.
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) < 0x80)
            AppendEscaped(out, char32_t(c));
        else
            out += c;
    }
    return out;
}

std::string Escape(const std::u32string& text) {
    std::string out;
    for (char32_t c : text)
        AppendEscaped(out, c);
    return out;
}

std::string FileBytes(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 16);
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b == '\n') {
            out += "\r\n";
            ++i;
            continue;
        }
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        const int extra = b >= 0xF8 ? -1 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        char32_t c = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra > 0 && static_cast<size_t>(extra) < utf8.size() - i;
        size_t used = 1;
        if (ok) {
            for (int k = 1; k <= extra; ++k) {
                const auto cont = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
                if ((cont & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                c = (c << 6) | (cont & 0x3F);
                ++used;
            }
        }
        // An overlong form ("\xC0\xBC" for "<") would slip markup past the escaping: refused.
        const char32_t least = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        ok = ok && c >= least;
        out += ok && c <= 0xFF ? static_cast<char>(c) : '?';
        i += ok ? used : 1;
    }
    return out;
}

std::string WithHtmlExtension(const std::string& path) {
    constexpr std::string_view kExtension = ".html";
    if (path.size() >= kExtension.size()) {
        bool same = true;
        for (size_t k = 0; k < kExtension.size(); ++k)
            same &= std::tolower(static_cast<unsigned char>(path[path.size() - kExtension.size() + k])) ==
                    kExtension[k];
        if (same)
            return path;
    }
    return path + std::string(kExtension);
}

} // namespace kaptiv::report
