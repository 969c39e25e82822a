// What a panel process makes of its command line and of the page it shows.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "panels/panel_command_line.h"
#include "panels/panel_script.h"
#include "text/page_font.h"

namespace {

// Reads back a single-quoted JavaScript literal the way a script engine
// would, from just after its opening quote; the parse stops at the first
// unescaped quote, so a literal that ends early is caught.
std::string readJavaScriptLiteral(const std::string& text, size_t& at) {
    std::string out;
    while (at < text.size() && text[at] != '\'') {
        if (text[at] != '\\') {
            out.push_back(text[at++]);
            continue;
        }
        char kind = text[at + 1];
        if (kind == 'x') {
            out.push_back(char(std::stoi(text.substr(at + 2, 2), nullptr, 16)));
            at += 4;
        } else if (kind == 'u') {
            out += text.substr(at + 2, 4) == "2028" ? "\xE2\x80\xA8" : "\xE2\x80\xA9";
            at += 6;
        } else {
            out.push_back(kind);
            at += 2;
        }
    }
    return out;
}

// The two arguments of the page's one enterPanelMode call, read as a script
// engine would; "<missing>" when the text is not exactly such a call.
std::pair<std::string, std::string> panelModeArguments(const std::string& html) {
    const std::string opening = "enterPanelMode('", between = "', '", closing = "');";
    size_t at = html.find(opening);
    if (at == std::string::npos) return {"<missing>", "<missing>"};
    at += opening.size();
    std::string id = readJavaScriptLiteral(html, at);
    if (html.compare(at, between.size(), between) != 0) return {"<missing>", "<missing>"};
    at += between.size();
    std::string theme = readJavaScriptLiteral(html, at);
    if (html.compare(at, closing.size(), closing) != 0) return {"<missing>", "<missing>"};
    return {id, theme};
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

}  // namespace

TEST(PanelCommandLine, BareOptionGivesTheDefaults) {
    for (const char* line : {"--child", "--child ", "x"}) {
        PanelStartValues v = parsePanelCommandLine(line);
        EXPECT_EQ(v.title, "Panel") << line;
        EXPECT_EQ(v.id, "");
        EXPECT_FALSE(v.placed);
        EXPECT_EQ(v.theme, "modern-blue");
    }
}

TEST(PanelCommandLine, FiveFieldsPlaceTheWindowUpAndLeftOfThePointer) {
    PanelStartValues v = parsePanelCommandLine("--child Auto Clicker|clicker-panel|900|300|dark");
    EXPECT_EQ(v.title, "Auto Clicker");
    EXPECT_EQ(v.id, "clicker-panel");
    ASSERT_TRUE(v.placed);
    EXPECT_EQ(v.x, 750);
    EXPECT_EQ(v.y, 280);
    EXPECT_EQ(v.theme, "dark");
}

TEST(PanelCommandLine, OnlyTheTextAfterTheFirstOptionCountsAndQuotesGo) {
    PanelStartValues v = parsePanelCommandLine(
        "\"C:\\Varnet\\varnet.exe\" --child \"My\" Panel|p|10px|-5|--child x|y");
    EXPECT_EQ(v.title, "My Panel");
    EXPECT_EQ(v.id, "p");
    EXPECT_TRUE(v.placed);
    EXPECT_EQ(v.x, -140);
    EXPECT_EQ(v.y, -25);
    EXPECT_EQ(v.theme, "--child x");
}

TEST(PanelCommandLine, AnUnreadablePositionLeavesTheWindowUnplaced) {
    EXPECT_FALSE(parsePanelCommandLine("--child T|id|left|300|dark").placed);
    EXPECT_FALSE(parsePanelCommandLine("--child T|id|900|top|dark").placed);
    EXPECT_FALSE(parsePanelCommandLine("--child T|id||300|dark").placed);
    // The offset would leave 32 bits: no place at all rather than a wrapped one.
    EXPECT_FALSE(parsePanelCommandLine("--child T|id|-2147483648|300|dark").placed);
    EXPECT_EQ(parsePanelCommandLine("--child T|id|left|300|dark").theme, "dark");
}

TEST(PanelCommandLine, FewerPageFieldsMoveTheThemeForward) {
    // Title, id and x from the page, then the theme where y belongs.
    PanelStartValues fourth = parsePanelCommandLine("--child T|id|900|dark");
    EXPECT_FALSE(fourth.placed);
    EXPECT_EQ(fourth.theme, "modern-blue");
    PanelStartValues third = parsePanelCommandLine("--child T|id|dark");
    EXPECT_EQ(third.id, "id");
    EXPECT_EQ(third.theme, "modern-blue");
    PanelStartValues second = parsePanelCommandLine("--child T|dark");
    EXPECT_EQ(second.title, "T");
    EXPECT_EQ(second.id, "dark");
    EXPECT_EQ(second.theme, "modern-blue");
    // An empty theme is an empty last field, which does not count.
    PanelStartValues emptyTheme = parsePanelCommandLine("--child T|id|900|300|");
    EXPECT_TRUE(emptyTheme.placed);
    EXPECT_EQ(emptyTheme.theme, "modern-blue");
}

TEST(PanelPage, ScriptReplacesOnlyTheLastBodyEnd) {
    const std::string page = "<html><body><pre>&lt;/body&gt; </body></pre></body></html>";
    std::string html = panelPageHtml(page, "dark", "p");
    EXPECT_EQ(html.substr(0, 35), page.substr(0, 35));
    EXPECT_EQ(html.find(panelScript("dark", "p")), page.rfind("</body>"));
    EXPECT_EQ(html.substr(html.size() - 7), "</html>");
    EXPECT_EQ(countOf(html, "</body>"), 2u);
}

TEST(PanelPage, PageWithoutBodyEndIsShownUnchanged) {
    EXPECT_EQ(panelPageHtml("<p>no end</p>", "dark", "p"), "<p>no end</p>");
    EXPECT_EQ(panelPageHtml("", "dark", "p"), "");
    EXPECT_NE(panelPageHtml("</body>", "dark", "p"), "</body>");
}

TEST(PanelPage, ScriptCallsThePageWithPanelIdAndTheme) {
    std::string script = panelScript("dark", "clicker-panel");
    EXPECT_EQ(script.rfind("\n                <script>\n", 0), 0u);
    const std::string ending = "                </script>\n            </body>\n            ";
    EXPECT_EQ(script.substr(script.size() - ending.size()), ending);
    EXPECT_EQ(panelModeArguments(script), std::make_pair(std::string("clicker-panel"), std::string("dark")));
    EXPECT_EQ(countOf(script, "enterPanelMode("), 1u);
}

TEST(PanelPage, HostileThemeAndIdStayInsideTheirStrings) {
    const std::string theme = "x'); fetch('//evil'); ('\\";
    const std::string id = "</script><script>alert(1)</script><!--\"\n\r\xE2\x80\xA8";
    std::string html = panelPageHtml("<html><body></body></html>", theme, id);
    EXPECT_EQ(panelModeArguments(html), std::make_pair(id, theme));
    EXPECT_EQ(countOf(html, "</script"), 1u);
    EXPECT_EQ(countOf(html, "<!--"), 0u);
    EXPECT_EQ(countOf(html, "fetch('"), 0u);
}

TEST(PanelPage, EveryByteSurvivesTheStringLiteral) {
    std::string all;
    for (int c = 1; c < 256; ++c) all.push_back(char(c));
    std::string content = javaScriptStringContent(all);
    EXPECT_EQ(content.find_first_of("\n\r<>"), std::string::npos);
    size_t at = 0;
    EXPECT_EQ(readJavaScriptLiteral(content, at), all);
    EXPECT_EQ(at, content.size());
}

// The desktop's font goes into the page's head as one CSS string; a family
// that could end that string or the element leaves the page as it was.
TEST(PanelPage, DesktopFontIsNamedInTheHeadOrNotAtAll) {
    const std::string page = "<html><head><title>t</title></head><body>x</body></html>";
    const std::string named = pageWithDesktopFont(page, "Noto Sans CJK JP");
    EXPECT_EQ(named, "<html><head><title>t</title><style>:root{--desktop-font:\"Noto Sans CJK JP\"}</style>"
                     "</head><body>x</body></html>");
    EXPECT_NE(pageWithDesktopFont(page, "\xE6\x96\x87\xE6\xB3\x89\xE9\xA9\xBF"), page) << "a family named in UTF-8";
    for (const std::string& unsafe : {std::string(), std::string("A\"}</style><script>"), std::string("A\\22"),
                                      std::string("A'B"), std::string("A\nB"), std::string("A>B"), std::string(201, 'a')})
        EXPECT_EQ(pageWithDesktopFont(page, unsafe), page) << unsafe;
    EXPECT_EQ(pageWithDesktopFont("<body>no head</body>", "Sans"), "<body>no head</body>");
}
