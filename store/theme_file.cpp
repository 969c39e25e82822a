#include "store/theme_file.h"

#include "app/state.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"
#include "store/data_dir.h"

std::string readThemeFile() {
    std::string line;
    if (!readFirstLine(sideFilePath("theme.txt"), line) || line.empty()) return "modern-blue";
    return line;
}

void writeThemeFile() {
    writeWholeFile(sideFilePath("theme.txt"), currentTheme());
}

void applyThemeFromPanel(const std::string& name) {
    replaceTheme(name);
    writeThemeFile();
}

std::string callSetTheme(const std::string& args) {
    applyThemeFromPanel(stripArgumentText(args));
    return "";
}

// A name holding a backslash would otherwise make the page's call fail; names
// without one come out exactly as stored.
std::string callGetSharedTheme(const std::string&) {
    return "\"" + escapeQuotesAndBackslashes(currentTheme()) + "\"";
}
