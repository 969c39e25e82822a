#include "panels/panel_script.h"

#include <cstdio>

namespace {

std::string hexEscape(unsigned char byte) {
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    return text;
}

// U+2028 and U+2029 end a line in older script engines, even inside a string.
bool isScriptLineSeparator(const std::string& text, size_t i) {
    return i + 2 < text.size() && (unsigned char)text[i] == 0xE2 &&
           (unsigned char)text[i + 1] == 0x80 &&
           ((unsigned char)text[i + 2] == 0xA8 || (unsigned char)text[i + 2] == 0xA9);
}

std::string indent(int blanks, const std::string& line) {
    return std::string(size_t(blanks), ' ') + line + "\n";
}

}  // namespace

std::string javaScriptStringContent(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = (unsigned char)text[i];
        if (isScriptLineSeparator(text, i)) {
            out += (unsigned char)text[i + 2] == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else if (c == '\\' || c == '\'' || c == '"') {
            out.push_back('\\');
            out.push_back(char(c));
        } else if (c < 0x20 || c == 0x7F || c == '<' || c == '>') {
            out += hexEscape(c);
        } else {
            out.push_back(char(c));
        }
    }
    return out;
}

std::string panelScript(const std::string& theme, const std::string& panelId) {
    // The page itself knows how to show one panel; this only tells it which,
    // and in which theme, before it starts.
    return "\n" + indent(16, "<script>") +
           indent(20, "enterPanelMode('" + javaScriptStringContent(panelId) + "', '" +
                          javaScriptStringContent(theme) + "');") +
           indent(16, "</script>") + std::string(12, ' ') + "</body>\n" + std::string(12, ' ');
}

std::string panelPageHtml(const std::string& page, const std::string& theme,
                          const std::string& panelId) {
    const std::string bodyEnd = "</body>";
    size_t at = page.size() >= 7 ? page.rfind(bodyEnd) : std::string::npos;
    if (at == std::string::npos) return page;
    return page.substr(0, at) + panelScript(theme, panelId) + page.substr(at + bodyEnd.size());
}
