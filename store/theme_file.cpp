#include "store/theme_file.h"

#include "app/state.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"
#include "platform/platform.h"
#include "store/data_dir.h"
#include "store/save_outcome.h"

std::string readThemeFile() {
    std::string line;
    if (!readFirstLine(sideFilePath("theme.txt"), line) || line.empty()) return kDefaultTheme;
    return line;
}

// Replaced whole, so a panel reading it never sees half a name.
void writeThemeFile() {
    std::string failure;
    platform::replaceFileDurably(sideFilePath("theme.txt"), currentTheme(), &failure);
    noteSaveOutcome(SavedFile::Theme, sideFilePath("theme.txt"), failure);
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
