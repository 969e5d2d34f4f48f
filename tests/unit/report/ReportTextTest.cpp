// The report's building blocks: the bytes of the file, escaping, cells and the file name rule.
#include "report/ReportText.h"
#include "text/Language.h"

#include <gtest/gtest.h>

using namespace kaptiv::report;

TEST(ReportText, HtmlExtensionIsAddedUnlessPresentInAnyCase) {
    EXPECT_EQ(WithHtmlExtension("/r/rack1"), "/r/rack1.html");
    EXPECT_EQ(WithHtmlExtension("/r/Rack1.HTML"), "/r/Rack1.HTML");
    EXPECT_EQ(WithHtmlExtension("/r/rack1.htm"), "/r/rack1.htm.html");
    EXPECT_EQ(WithHtmlExtension("html"), "html.html");
    EXPECT_EQ(WithHtmlExtension(""), ".html");
}

TEST(ReportText, FileBytesAreLatin1WithCrLf) {
    EXPECT_EQ(FileBytes("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(FileBytes("Qualit\xC3\xA9"), "Qualit\xE9");
    // Outside ISO-8859-1 (Greek omega, an emoji) and malformed sequences become "?".
    EXPECT_EQ(FileBytes("x\xCE\xA9y"), "x?y");
    EXPECT_EQ(FileBytes("\xF0\x9F\x98\x80"), "?");
    EXPECT_EQ(FileBytes("a\xC3"), "a?");
    EXPECT_EQ(FileBytes("\xC3("), "?(");
    EXPECT_EQ(FileBytes("\xFF"), "?");
    // Overlong forms of "<" do not become markup.
    EXPECT_EQ(FileBytes("\xC0\xBC"), "??");
    EXPECT_EQ(FileBytes("\xE0\x80\xBC"), "???");
}

TEST(ReportText, OutsideTextsAreEscaped) {
    EXPECT_EQ(Escape(std::u32string(U"R&B <Live> \"1\"")), "R&amp;B &lt;Live&gt; &quot;1&quot;");
    EXPECT_EQ(Escape(std::string("<&>")), "&lt;&amp;&gt;");
    EXPECT_EQ(Escape(std::u32string(U"Télé")), "T\xC3\xA9l\xC3\xA9");
}

TEST(ReportText, HeadingsAndCells) {
    EXPECT_EQ(
        ModuleHeading("RkSat2", 23),
        "<h2 align =\"CENTER\" style=\"color: #000000; background-color: #44CC44\">RkSat2<br>V2.3</h2>\n");
    EXPECT_EQ(HeadingSpanCell(0, "x"), "");
    EXPECT_EQ(HeadingSpanCell(3, "PID"), "<td align=\"CENTER\" bgcolor=\"#DFDFFF\" colspan =\"3\"><font "
                                         "size=\"2\"><b> PID </b></font></td>\n");
    EXPECT_EQ(HeadingCell("A"),
              "<td align=\"CENTER\" bgcolor=\"#DFDFFF\"><font size=\"2\"><b> A </b></font></td>\n");
    EXPECT_EQ(DataCell("7"), "<td align=\"CENTER\"><font size=\"2\"> 7 </font></td>\n");
    EXPECT_EQ(TitleBlockEnd("now"), "<br>now<br></h2>\n");
}

TEST(ReportText, TableTermsInFrench) {
    using kaptiv::text::TranslateHeading;
    constexpr int kFrench = 1;
    EXPECT_EQ(TranslateHeading("Configuration", kFrench), "Configuration");
    EXPECT_EQ(TranslateHeading("S.N.R.", kFrench), "Qualit\xC3\xA9");
    for (int language = 0; language < kaptiv::text::kLanguageCount; ++language)
        EXPECT_EQ(TranslateHeading("PID", language), "PID");
}
