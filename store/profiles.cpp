// The profile list: adding, switching, clearing and deleting profiles, the
// page's view of the list, and the reset to factory values. Settings are
// formatted and applied outside profilesLock; the lock covers the list only.
#include "store/profiles.h"

#include "app/state.h"
#include "app/state_changes.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"
#include "input/window_helpers.h"
#include "platform/platform.h"
#include "store/app_settings.h"
#include "store/session_file.h"
#include "store/theme_file.h"

namespace {

// The settings a profile carries, or the defaults when it carries none.
void applySettingsOfProfile(const std::string& settings) {
    if (settings.empty()) {
        resetProfileDefaults();
    } else {
        applyProfileSettings(settings);
    }
}

void emptyCurrentProfile(const std::string& settings) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return;
    Profile& p = s.profiles[size_t(s.currentProfile)];
    p.events.clear();
    p.settings = settings;
    noteEventListEdited();
}

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
    platform::restoreIfMaximized(window);
    fitWindowToWorkArea(appState().mainWebview, kDefaultWindowWidth, kDefaultWindowHeight);
    centreWindowInWorkArea(window);
    saveWindowPlacement(window);
}

}  // namespace

void storeProfileSettings() {
    const std::string text = formatProfileSettings();
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return;
    s.profiles[size_t(s.currentProfile)].settings = text;
    noteProfilesChanged();
}

std::string callClearProfile(const std::string&) {
    if (appState().recording) return "";
    resetProfileDefaults();
    emptyCurrentProfile(formatProfileSettings());
    return "";
}

std::string callAddProfile(const std::string& args) {
    const std::string name = stripArgumentText(args);
    if (name.empty() || appState().recording) return "";
    const std::string settings = formatProfileSettings();
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles.push_back(Profile{name, settings, {}});
    s.currentProfile = int32_t(s.profiles.size() - 1);
    noteEventListEdited();
    return "";
}

std::string callDeleteProfile(const std::string&) {
    AppState& s = appState();
    if (s.recording) return "";
    std::string settings;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (s.profiles.size() <= 1) return "";
        size_t index = size_t(std::max<int32_t>(s.currentProfile, 0));
        if (index >= s.profiles.size()) index = s.profiles.size() - 1;
        s.profiles.erase(s.profiles.begin() + std::ptrdiff_t(index));
        if (index >= s.profiles.size()) index = s.profiles.size() - 1;
        s.currentProfile = int32_t(index);
        settings = s.profiles[index].settings;
        noteEventListEdited();
    }
    applySettingsOfProfile(settings);
    return "";
}

std::string callSwitchProfile(const std::string& args) {
    AppState& s = appState();
    if (s.recording) return "";
    int32_t index;
    if (!parseInt32(stripArgumentText(args), index)) return "";
    std::string settings;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (index < 0 || size_t(index) >= s.profiles.size()) return "";
        s.currentProfile = index;
        settings = s.profiles[size_t(index)].settings;
        noteEventListEdited();
    }
    applySettingsOfProfile(settings);
    return "";
}

// Names are escaped fully: a name read from a file may hold a tab or another
// control byte, which would otherwise make the page's whole call fail.
std::string callGetProfiles(const std::string&) {
    std::vector<std::string> names;
    int32_t current = 0;
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        current = s.currentProfile;
        names.reserve(s.profiles.size());
        for (const Profile& p : s.profiles) names.push_back(p.name);
    }
    std::string out = "{\"current\":" + std::to_string(current) + ",\"names\":[";
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out.push_back(',');
        out += jsonString(names[i]);
    }
    out += "],\"cap\":-1}";
    return out;
}

std::string callResetEverything(const std::string&) {
    stopEverything();
    resetProfileDefaults();
    resetTrackerDefaults();
    resetHotkeyDefaults();
    resetPreferences();
    replaceTheme(kDefaultTheme);
    writeThemeFile();
    resetMainWindow();
    writeAppSettings();
    emptyCurrentProfile(formatProfileSettings());
    announceStateChange();  // hotkeys back to their defaults and switched on
    return "";
}
