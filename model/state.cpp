#include "model/state.h"

#include "model/settings_fields.h"

namespace {

AppState& freshState() {
    static AppState state;
    setInitialSettings(state);
    return state;
}

}  // namespace

AppState& appState() {
    static AppState& state = freshState();
    return state;
}

uint64_t packPoint(int32_t x, int32_t y) {
    return (uint64_t(uint32_t(x)) << 32) | uint64_t(uint32_t(y));
}

int32_t pointX(uint64_t packed) { return int32_t(uint32_t(packed >> 32)); }
int32_t pointY(uint64_t packed) { return int32_t(uint32_t(packed & 0xffffffffu)); }

void resetProfileDefaults() {
    restoreDefaults(FieldRecord::Clicker);
    restoreDefaults(FieldRecord::KeySpam);
    resetKeyTyper();
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        s.clickSteps.clear();
    }
    appState().clicker.fixedPointChosen = false;
}

void resetHotkeyDefaults() { restoreDefaults(FieldRecord::Hotkeys); }

void resetTrackerDefaults() { restoreDefaults(FieldRecord::Tracker); }

void noteProfilesChanged() { ++appState().sessionChanges; }

void noteEventListEdited() {
    AppState& s = appState();
    ++s.sessionChanges;
    ++s.eventListEdits;
}

std::string currentTheme() {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    return s.theme;
}

void replaceTheme(const std::string& name) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.theme = name;
}

void addFirstStartProfile() {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles.push_back(Profile{"Default Tracking Profile", "", {}});
    noteEventListEdited();
}
