#include "store/theme_file.h"

#include "model/state.h"
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
