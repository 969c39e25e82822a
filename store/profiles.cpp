// The profile list: adding, switching, clearing and deleting profiles.
// Settings are formatted and applied outside profilesLock; the lock covers
// the list only.
#include "store/profiles.h"

#include <cstdint>
#include <string>
#include <utility>

#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "store/change_history.h"
#include "store/session_file.h"

void applySettingsOfProfile(const std::string& settings) {
    if (settings.empty()) {
        resetProfileDefaults();
    } else {
        applyProfileSettings(settings);
        appState().clicker.fixedPointChosen = false;
    }
}

void emptyCurrentProfile(const std::string& settings, const std::string& liveBefore, const std::string& what) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return;
    const size_t index = size_t(s.currentProfile);
    Profile& p = s.profiles[index];
    ChangeStep step = changeStep(ChangeKind::SwapProfile, index, s.currentProfile);
    step.held = Profile{p.name, std::exchange(p.settings, settings), {}};
    step.held.events.swap(p.events);
    step.settingsLine = liveBefore;
    step.label = what + " " + quotedName(p.name) + " (" + countOfEvents(step.held.events.size()) + ")";
    noteEventListEdited();
    keepChangeLocked(s, std::move(step));
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
    const std::string liveBefore = formatLiveSettings();
    resetProfileDefaults();
    emptyCurrentProfile(formatProfileSettings(), liveBefore, "clearing");
}

void addProfile(const std::string& name) {
    if (name.empty() || appState().recording) return;
    const std::string settings = formatProfileSettings();
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    const int32_t before = s.currentProfile;
    s.profiles.push_back(Profile{name, settings, {}});
    s.currentProfile = int32_t(s.profiles.size() - 1);
    noteEventListEdited();
    keepChangeLocked(s, changeStep(ChangeKind::RemoveProfile, s.profiles.size() - 1, before,
                                   "adding " + quotedName(name)));
}

void deleteCurrentProfile() {
    AppState& s = appState();
    if (s.recording) return;
    const std::string liveBefore = formatLiveSettings();
    std::string settings;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (s.profiles.size() <= 1) return;
        size_t index = size_t(std::max<int32_t>(s.currentProfile, 0));
        if (index >= s.profiles.size()) index = s.profiles.size() - 1;
        ChangeStep step = changeStep(ChangeKind::InsertProfile, index, int32_t(index));
        step.held = std::move(s.profiles[index]);
        step.settingsLine = liveBefore;
        step.label = "deleting " + quotedName(step.held.name) + " (" + countOfEvents(step.held.events.size()) + ")";
        s.profiles.erase(s.profiles.begin() + std::ptrdiff_t(index));
        if (index >= s.profiles.size()) index = s.profiles.size() - 1;
        s.currentProfile = int32_t(index);
        settings = s.profiles[index].settings;
        noteEventListEdited();
        keepChangeLocked(s, std::move(step));
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

namespace {

size_t characterCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80;
    return count;
}

// profilesLock held. `renamed` may keep its own name; SIZE_MAX for none.
std::string nameRefusalLocked(const AppState& s, const std::string& name, size_t renamed) {
    if (name.empty()) return "Type a name for the profile.";
    if (characterCount(name) > kMaxProfileNameLength)
        return "A profile's name has at most " + std::to_string(kMaxProfileNameLength) + " characters.";
    for (size_t i = 0; i < s.profiles.size(); ++i) {
        if (i != renamed && s.profiles[i].name == name) return "There is a profile named " + quotedName(name) + " already.";
    }
    return "";
}

bool currentIndexLocked(const AppState& s, size_t& index) {
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return false;
    index = size_t(s.currentProfile);
    return true;
}

const char kWhileRecording[] = "Stop recording first.";

}  // namespace

ProfileNameOutcome renameCurrentProfile(const std::string& name) {
    AppState& s = appState();
    if (s.recording) return {false, kWhileRecording};
    std::lock_guard<std::mutex> lock(s.profilesLock);
    size_t index = 0;
    if (!currentIndexLocked(s, index)) return {false, "There is no profile to rename."};
    Profile& p = s.profiles[index];
    if (p.name == name) return {false, quotedName(name) + " keeps its name."};
    const std::string refusal = nameRefusalLocked(s, name, index);
    if (!refusal.empty()) return {false, refusal};
    const std::string message = "Renamed " + quotedName(p.name) + " to " + quotedName(name) + ".";
    ChangeStep step = changeStep(ChangeKind::SwapName, index, s.currentProfile,
                                 "renaming " + quotedName(p.name) + " to " + quotedName(name));
    step.held.name = std::exchange(p.name, name);
    noteProfilesChanged();
    keepChangeLocked(s, std::move(step));
    return {true, message};
}

ProfileNameOutcome duplicateCurrentProfile(const std::string& name) {
    AppState& s = appState();
    if (s.recording) return {false, kWhileRecording};
    std::lock_guard<std::mutex> lock(s.profilesLock);
    size_t index = 0;
    if (!currentIndexLocked(s, index)) return {false, "There is no profile to duplicate."};
    const std::string refusal = nameRefusalLocked(s, name, SIZE_MAX);
    if (!refusal.empty()) return {false, refusal};
    const std::string message = "Duplicated " + quotedName(s.profiles[index].name) + " as " + quotedName(name) + ".";
    Profile copy{name, s.profiles[index].settings, s.profiles[index].events};
    const int32_t before = s.currentProfile;
    s.profiles.push_back(std::move(copy));
    s.currentProfile = int32_t(s.profiles.size() - 1);
    noteEventListEdited();
    keepChangeLocked(s, changeStep(ChangeKind::RemoveProfile, s.profiles.size() - 1, before,
                                   "duplicating as " + quotedName(name)));
    return {true, message};
}
