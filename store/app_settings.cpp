// appsettings.txt: ten "key=value" lines of window placement and preferences.
#include "store/app_settings.h"

#include "model/state.h"
#include "model/state_changes.h"
#include "model/version.h"
#include "platform/platform.h"
#include "store/data_dir.h"
#include "store/save_outcome.h"
#include "text/arguments.h"

namespace {

std::string settingsPath() { return sideFilePath("appsettings.txt"); }

const char* bit(bool value) { return value ? "1" : "0"; }

bool applyBoolKey(const std::string& key, bool on) {
    AppSettings& a = appState().app;
    if (key == "alwaysOnTop") a.alwaysOnTop = on;
    else if (key == "launchOnStartup") a.launchOnStartup = on;
    else if (key == "startMinimized") a.startMinimized = on;
    else if (key == "hotkeysEnabled") a.hotkeysEnabled = on;
    else if (key == "disableAnimations") a.disableAnimations = on;
    else if (key == "windowMaximized") a.windowMaximized = on;
    else if (key == "waylandNoticeDismissed") a.waylandNoticeDismissed = on;
    else if (key == "welcomeDismissed") a.welcomeDismissed = on;
    else return false;
    return true;
}

void applyNumberKey(const std::string& key, const std::string& value) {
    AppSettings& a = appState().app;
    std::atomic<int32_t>* target = nullptr;
    if (key == "windowX") target = &a.windowX;
    else if (key == "windowY") target = &a.windowY;
    else if (key == "windowWidth") target = &a.windowWidth;
    else if (key == "windowHeight") target = &a.windowHeight;
    int32_t number;
    if (!target || !parseInt32(value, number)) return;
    *target = number;
    // Only a stored left edge makes the placement worth restoring.
    if (key == "windowX") a.windowPlacementKnown = true;
}

void applySettingsFileLine(const std::string& line) {
    size_t equals = line.find('=');
    if (line.empty() || equals == std::string::npos) return;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (!applyBoolKey(key, value == "1")) applyNumberKey(key, value);
}

}  // namespace

void readAppSettings() {
    std::string text;
    if (!readWholeFile(settingsPath(), text)) return;
    size_t position = 0;
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(position, end - position);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        applySettingsFileLine(line);
        position = end + 1;
    }
}

void writeAppSettings() {
    const AppSettings& a = appState().app;
    std::string text;
    text += std::string("alwaysOnTop=") + bit(a.alwaysOnTop) + "\r\n";
    text += std::string("launchOnStartup=") + bit(a.launchOnStartup) + "\r\n";
    text += std::string("startMinimized=") + bit(a.startMinimized) + "\r\n";
    text += std::string("hotkeysEnabled=") + bit(a.hotkeysEnabled) + "\r\n";
    text += std::string("disableAnimations=") + bit(a.disableAnimations) + "\r\n";
    text += "windowX=" + std::to_string(a.windowX.load()) + "\r\n";
    text += "windowY=" + std::to_string(a.windowY.load()) + "\r\n";
    text += "windowWidth=" + std::to_string(a.windowWidth.load()) + "\r\n";
    text += "windowHeight=" + std::to_string(a.windowHeight.load()) + "\r\n";
    text += std::string("windowMaximized=") + bit(a.windowMaximized) + "\r\n";
    // Written only once set, so a file of a user who never saw the notice
    // stays as it always was.
    if (a.waylandNoticeDismissed) text += "waylandNoticeDismissed=1\r\n";
    if (a.welcomeDismissed) text += "welcomeDismissed=1\r\n";
    // Rewritten at every move: a crash mid-write must not cost the preferences.
    std::string failure;
    platform::replaceFileDurably(settingsPath(), text, &failure);
    noteSaveOutcome(SavedFile::AppSettings, settingsPath(), failure);
}

void saveWindowPlacement(void* window) {
    platform::ScreenRect rect;
    bool maximized = false;
    if (!window || !platform::windowNormalPlacement(window, rect, maximized)) return;
    AppSettings& a = appState().app;
    a.windowX = rect.left;
    a.windowY = rect.top;
    a.windowWidth = rect.right - rect.left;
    a.windowHeight = rect.bottom - rect.top;
    a.windowMaximized = maximized;
    a.windowPlacementKnown = true;
    writeAppSettings();
}
