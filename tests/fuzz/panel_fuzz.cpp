// A panel's start: the command line the main process builds from the page's
// pop-out argument and its theme, and the page the panel then shows. The
// title, the id and the theme read back intact, and the page holds exactly
// one script more than before, whose call's strings give back the id and the theme.
#include <cstdint>
#include <string>

#include "panels/panel_command_line.h"
#include "panels/panel_script.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const std::string kPage =
    "<!DOCTYPE html><html><head><script>let a = 1;</script></head>"
    "<body><div class=\"panel\" id=\"p\"></div></body></html>";

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the single-quoted script string that starts at text[at], as a script
// engine would, back into bytes, leaving at on its closing quote; false if it
// is not one.
bool readScriptString(const std::string& text, size_t& at, std::string& out) {
    out.clear();
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '\'') return true;
        if (c == '\n' || c == '\r') return false;
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++at >= text.size()) return false;
        if (text[at] == 'x' && at + 2 < text.size()) {
            int high = hexValue(text[at + 1]), low = hexValue(text[at + 2]);
            if (high < 0 || low < 0) return false;
            out.push_back(char(high * 16 + low));
            at += 2;
        } else if (text.compare(at, 5, "u2028") == 0 || text.compare(at, 5, "u2029") == 0) {
            out += text[at + 4] == '8' ? "\xE2\x80\xA8" : "\xE2\x80\xA9";
            at += 4;
        } else if (text[at] == '\\' || text[at] == '\'' || text[at] == '"') {
            out.push_back(text[at]);
        } else {
            return false;
        }
    }
    return false;
}

// Reads the page's call enterPanelMode('<id>', '<theme>'); exactly.
void readPanelModeCall(const std::string& page, std::string& id, std::string& theme) {
    const std::string opening = "enterPanelMode('", between = "', '", closing = "');";
    size_t at = page.find(opening);
    FUZZ_CHECK(at != std::string::npos);
    at += opening.size();
    FUZZ_CHECK(readScriptString(page, at, id));
    FUZZ_CHECK(page.compare(at, between.size(), between) == 0);
    at += between.size();
    FUZZ_CHECK(readScriptString(page, at, theme));
    FUZZ_CHECK(page.compare(at, closing.size(), closing) == 0);
}

void checkPage(const std::string& theme, const std::string& id) {
    const std::string page = panelPageHtml(kPage, theme, id);
    FUZZ_CHECK(count(page, "<script") == count(kPage, "<script") + 1);
    FUZZ_CHECK(count(page, "</script") == count(kPage, "</script") + 1);
    FUZZ_CHECK(count(page, "<!--") == 0);
    std::string idRead, themeRead;
    readPanelModeCall(page, idRead, themeRead);
    FUZZ_CHECK(idRead == id);
    FUZZ_CHECK(themeRead == theme);
}

// The fields of a pop-out argument never hold '|' (it separates them) nor
// '"' (the page's argument text loses them); a command line holds no NUL.
std::string field(const std::string& text, size_t& at) {
    std::string out;
    for (; at < text.size() && text[at] != '\n'; ++at) {
        if (text[at] != '|' && text[at] != '"' && text[at] != '\0') out.push_back(text[at]);
    }
    ++at;
    return out;
}

}  // namespace

// Lines of the input: title, id, then the theme.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::text(data, size);
    size_t at = 0;
    const std::string title = field(text, at);
    const std::string id = field(text, at);
    const std::string theme = field(text, at);
    const std::string commandLine =
        "\"C:\\Varnet\\varnet.exe\" --child " + title + "|" + id + "|10|20|" + theme;
    const PanelStartValues start = parsePanelCommandLine(commandLine);
    FUZZ_CHECK(start.title == title);
    FUZZ_CHECK(start.id == id);
    // An empty theme is no theme: the panel falls back to the default one.
    FUZZ_CHECK(start.theme == (theme.empty() ? "modern-blue" : theme));
    FUZZ_CHECK(start.placed);
    checkPage(start.theme, start.id);
    return 0;
}
