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
    const std::string quotedTheme = javaScriptStringContent(theme);
    const std::string quotedId = javaScriptStringContent(panelId);
    std::string s = "\n" + indent(16, "<script>");
    // The block keeps these names out of the page's own global scope: a page
    // that declares the same names at its top level would otherwise turn the
    // whole script into a syntax error and the panel would stay invisible.
    s += indent(16, "{");
    s += indent(20, "// Take over the main window's theme before the page shows,");
    s += indent(20, "// so the panel never flashes in the default one.");
    s += indent(20, "if (typeof applyTheme === 'function') applyTheme('" + quotedTheme + "');");
    s += indent(20, "let themeSel = document.getElementById('theme-select');");
    s += indent(20, "if (themeSel) themeSel.value = '" + quotedTheme + "';");
    s += "\n";
    s += indent(20, "document.querySelectorAll('.panel').forEach(p => p.style.display = 'none');");
    s += indent(20, "let activePanel = document.getElementById('" + quotedId + "');");
    s += indent(20, "if (activePanel) {");
    s += indent(24, "activePanel.style.display = 'block';");
    s += indent(24, "activePanel.style.borderRadius = '0';");
    s += indent(24, "activePanel.style.boxShadow = 'none';");
    s += indent(24, "activePanel.style.border = 'none';");
    s += indent(24, "");
    s += indent(24, "// The window has no title bar: its header is the handle.");
    s += indent(24, "// A press on one of the header's buttons is a click, not a drag,");
    s += indent(24, "// and only the primary button drags. preventDefault keeps the");
    s += indent(24, "// press from selecting text while the window follows the pointer.");
    s += indent(24, "// A panel without a header simply cannot be dragged.");
    s += indent(24, "let header = activePanel.querySelector('.panel-header');");
    s += indent(24, "if (header) {");
    s += indent(28, "header.style.cursor = 'move';");
    s += indent(28, "header.addEventListener('mousedown', (e) => {");
    s += indent(32, "if (e.button !== 0 || e.target.closest('.panel-btn')) return;");
    s += indent(32, "e.preventDefault();");
    s += indent(32, "if (window.beginWindowDrag) window.beginWindowDrag('');");
    s += indent(28, "});");
    s += indent(24, "}");
    s += indent(20, "}");
    s += indent(20, "document.body.style.padding = '0';");
    s += indent(20, "let dash = document.getElementById('dashboard');");
    s += indent(20, "if (dash) dash.style.gap = '0';");
    s += "\n";
    s += indent(20, "// The page starts hidden so that neither the default theme nor the");
    s += indent(20, "// other panels show first; now that only this panel is left in the");
    s += indent(20, "// right theme it may appear.");
    s += indent(20, "// Nothing after this line may hide it again.");
    s += indent(20, "document.body.style.visibility = 'visible';");
    s += "\n";
    s += indent(20, "// Let the page fit the window to the one panel.");
    s += indent(20, "if (typeof resizeHostWindow === 'function') resizeHostWindow();");
    s += indent(16, "}");
    s += indent(16, "</script>");
    s += std::string(12, ' ') + "</body>\n" + std::string(12, ' ');
    return s;
}

std::string panelPageHtml(const std::string& page, const std::string& theme,
                          const std::string& panelId) {
    const std::string bodyEnd = "</body>";
    size_t at = page.size() >= 7 ? page.rfind(bodyEnd) : std::string::npos;
    if (at == std::string::npos) return page;
    return page.substr(0, at) + panelScript(theme, panelId) + page.substr(at + bodyEnd.size());
}
