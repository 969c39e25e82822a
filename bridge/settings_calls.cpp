// The page calls of the application settings and the theme, and the reset
// of everything to factory values.
#include <string>
#include <vector>

#include "bridge/page_calls.h"
#include "bridge/window_helpers.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "model/version.h"
#include "panels/panel_processes.h"
#include "platform/platform.h"
#include "store/app_settings.h"
#include "store/profiles.h"
#include "store/session_file.h"
#include "store/theme_file.h"
#include "text/arguments.h"

namespace {

const char* word(bool value) { return value ? "true" : "false"; }

void stopEverything() {
    AppState& s = appState();
    s.recording.exchange(false);
    s.playing.exchange(false);
    s.autoClicking.exchange(false);
    s.keySpamming.exchange(false);
    platform::sleepMs(20);
}

void resetPreferences() {
    AppSettings& a = appState().app;
    a.alwaysOnTop = false;
    a.launchOnStartup = false;
    platform::setLaunchOnStartup(false);
    a.startMinimized = false;
    a.hotkeysEnabled = true;
    a.disableAnimations = false;
    a.windowWidth = kDefaultWindowWidth;
    a.windowHeight = kDefaultWindowHeight;
    a.windowMaximized = false;
}

void resetMainWindow() {
    void* window = appState().mainWindow;
    if (!window) return;
    platform::setAlwaysOnTop(window, false);
    keepPanelsAbove(false);
    platform::restoreIfMaximized(window);
    fitWindowToWorkArea(appState().mainWebview, kDefaultWindowWidth, kDefaultWindowHeight);
    centreWindowInWorkArea(window);
    saveWindowPlacement(window);
}

// "" where the desktop does not ask the person.
const char* permissionWord(platform::InputPermission permission) {
    switch (permission) {
    case platform::InputPermission::Asking: return "asking";
    case platform::InputPermission::Granted: return "granted";
    case platform::InputPermission::Refused: return "refused";
    default: return "";
    }
}

}  // namespace

std::string callGetAppSettings(const std::string&) {
    const AppSettings& a = appState().app;
    return std::string("{\"alwaysOnTop\":") + word(a.alwaysOnTop) +
           ",\"launchOnStartup\":" + word(a.launchOnStartup) +
           ",\"startMinimized\":" + word(a.startMinimized) +
           ",\"hotkeysEnabled\":" + word(a.hotkeysEnabled) +
           ",\"disableAnimations\":" + word(a.disableAnimations) +
           ",\"version\":\"" + varnetVersion() + "\"" +
           ",\"waylandSession\":" + word(platform::isWaylandSession()) +
           ",\"waylandNoticeDismissed\":" + word(a.waylandNoticeDismissed) +
           ",\"inputThroughCompositor\":" + word(platform::inputGoesThroughCompositor()) +
           ",\"inputPermission\":\"" + permissionWord(platform::inputPermission()) + "\"" +
           ",\"gnomeDesktop\":" + word(platform::isGnomeDesktop()) +
           ",\"welcomeDismissed\":" + word(a.welcomeDismissed) + "}";
}

std::string callSetAppSetting(const std::string& args) {
    const std::vector<std::string> fields = parseArgumentList(args);
    if (fields.size() != 2) return "";
    const std::string& name = fields[0];
    const bool on = fields[1] == "1";
    AppSettings& a = appState().app;
    if (name == "alwaysOnTop") {
        a.alwaysOnTop = on;
        platform::setAlwaysOnTop(appState().mainWindow, on);
        keepPanelsAbove(on);
    } else if (name == "launchOnStartup") {
        a.launchOnStartup = on;
        platform::setLaunchOnStartup(on);
    } else if (name == "startMinimized") {
        a.startMinimized = on;
    } else if (name == "hotkeysEnabled") {
        a.hotkeysEnabled = on;
        announceStateChange();
    } else if (name == "disableAnimations") {
        a.disableAnimations = on;
    } else if (name == "waylandNoticeDismissed") {
        a.waylandNoticeDismissed = on;
    } else if (name == "welcomeDismissed") {
        a.welcomeDismissed = on;
    }
    writeAppSettings();
    return "";
}

std::string callSetTheme(const std::string& args) {
    applyThemeFromPanel(stripArgumentText(args));
    return "";
}

// Escaped fully: a name holding a backslash or a control character would
// otherwise make the page's call fail; plain names come out as stored.
std::string callGetSharedTheme(const std::string&) { return jsonString(currentTheme()); }

std::string callResetEverything(const std::string&) {
    stopEverything();
    const std::string liveBefore = formatLiveSettings();
    resetProfileDefaults();
    resetTrackerDefaults();
    resetHotkeyDefaults();
    resetPreferences();
    replaceTheme(kDefaultTheme);
    writeThemeFile();
    resetMainWindow();
    writeAppSettings();
    emptyCurrentProfile(formatProfileSettings(), liveBefore, "the full reset of");
    announceStateChange();  // hotkeys back to their defaults and switched on
    return "";
}
