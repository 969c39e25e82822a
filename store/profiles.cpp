// The profile list: adding, switching, clearing and deleting profiles.
// Settings are formatted and applied outside profilesLock; the lock covers
// the list only.
#include "store/profiles.h"

#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "store/session_file.h"

namespace {

// The settings a profile carries, or the defaults when it carries none.
void applySettingsOfProfile(const std::string& settings) {
    if (settings.empty()) {
        resetProfileDefaults();
    } else {
        applyProfileSettings(settings);
    }
}

}  // namespace

void emptyCurrentProfile(const std::string& settings) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return;
    Profile& p = s.profiles[size_t(s.currentProfile)];
    p.events.clear();
    p.settings = settings;
    noteEventListEdited();
}

void storeProfileSettings() {
    const std::string text = formatProfileSettings();
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return;
    s.profiles[size_t(s.currentProfile)].settings = text;
    noteProfilesChanged();
}

void clearCurrentProfile() {
    if (appState().recording) return;
    resetProfileDefaults();
    emptyCurrentProfile(formatProfileSettings());
}

void addProfile(const std::string& name) {
    if (name.empty() || appState().recording) return;
    const std::string settings = formatProfileSettings();
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles.push_back(Profile{name, settings, {}});
    s.currentProfile = int32_t(s.profiles.size() - 1);
    noteEventListEdited();
}

void deleteCurrentProfile() {
    AppState& s = appState();
    if (s.recording) return;
    std::string settings;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (s.profiles.size() <= 1) return;
        size_t index = size_t(std::max<int32_t>(s.currentProfile, 0));
        if (index >= s.profiles.size()) index = s.profiles.size() - 1;
        s.profiles.erase(s.profiles.begin() + std::ptrdiff_t(index));
        if (index >= s.profiles.size()) index = s.profiles.size() - 1;
        s.currentProfile = int32_t(index);
        settings = s.profiles[index].settings;
        noteEventListEdited();
    }
    applySettingsOfProfile(settings);
}

void switchToProfile(int32_t index) {
    AppState& s = appState();
    if (s.recording) return;
    std::string settings;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (index < 0 || size_t(index) >= s.profiles.size()) return;
        s.currentProfile = index;
        settings = s.profiles[size_t(index)].settings;
        noteEventListEdited();
    }
    applySettingsOfProfile(settings);
}
