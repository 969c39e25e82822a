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

// Escaped fully: a name holding a backslash or a control character would
// otherwise make the page's call fail; plain names come out as stored.
std::string callGetSharedTheme(const std::string&) { return jsonString(currentTheme()); }
