#pragma once
// The building blocks of the installation report: its fixed HTML fragments, the table cells,
// the escaping of outside texts and the bytes the file is written in (ISO-8859-1, CR-LF).
#include <string>
#include <string_view>

namespace kaptiv::report {

inline constexpr char kHeader1[] =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">";
inline constexpr char kHeader2[] = "<title>KAPTIV - REPORT FILE</title>";
inline constexpr char kHeader3[] =
    "</head><body><h2 style=\"color: #FFFFFF; background-color: #CCCCCC\" align=\"center\">";
inline constexpr char kFileEnd[] = "</body></html>";
inline constexpr char kTableStart[] =
    "<table width = \"100%\"border=\"1\" cellpadding=\"2\" cellspacing=\"0\" style=\"border-collapse: "
    "collapse\" bordercolor=\"#CCCCCC\" bordercolorlight=\"#CCCCCC\" bordercolordark=\"#CCCCCC\"><tbody>";
inline constexpr char kTableEnd[] = "</table>";
inline constexpr char kRowStart[] = "<tr>";
inline constexpr char kRowEnd[] = "</tr>";
inline constexpr char kBreak[] = "<br>";

// "<br>date<br></h2>\n"
std::string TitleBlockEnd(const std::string& dateTime);
// The module heading with its release as major.minor (23 -> "V2.3").
std::string ModuleHeading(const std::string& name, int release);

// Cells; the text is put in as given (escape outside texts first).
std::string HeadingCell(const std::string& text);
std::string HeadingSpanCell(int columns, const std::string& text); // 0 columns: empty text
std::string DataCell(const std::string& text);

// A text from a module, a broadcast or the installer, made safe for HTML: & < > " escaped.
std::string Escape(std::string_view utf8);
std::string Escape(const std::u32string& text);

// The bytes written for a UTF-8 text: each character as one ISO-8859-1 byte ("?" for those
// outside it, and for malformed UTF-8), each "\n" as CR-LF.
std::string FileBytes(std::string_view utf8);

// The ".html" rule of the save dialog: appended unless the name already ends in ".html" in any
// letter case.
std::string WithHtmlExtension(const std::string& path);

} // namespace kaptiv::report
