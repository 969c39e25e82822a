// Puts every field that recording, hotkeys, the event list and playback use
// back to a known start: one empty profile, defaults, nothing pending.
#pragma once

#include <mutex>

#include "model/state.h"

inline void resetCaptureState() {
    AppState& s = appState();
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        s.profiles.assign(1, Profile{"Default Tracking Profile", "", {}});
        s.currentProfile = 0;
        s.history = ChangeHistory{};
        noteEventListEdited();
    }
    resetProfileDefaults();
    resetHotkeyDefaults();
    resetTrackerDefaults();
    s.app.hotkeysEnabled = true;
    s.running = true;
    s.recording = false;
    s.playing = false;
    s.autoClicking = false;
    s.keySpamming = false;
    s.toggleRecordingRequested = false;
    s.togglePlaybackRequested = false;
    s.toggleSpammerRequested = false;
    s.toggleKeySpamRequested = false;
    s.clickerSwitch = s.keySpamSwitch = NoSwitch;
    s.clickerStartAt = s.keySpamStartAt = 0;
    s.escapeHeld = s.escapeHoldSpent = false;
    s.pickingLocation = false;
    s.reassignSlot = ReassignSlot::NoSlot;
    s.capturedKey = 0;
    s.capturedModifiers = 0;
    s.panelHover = false;
    s.perfFrequency = 1000000000;
    s.recordStart = 0;
    s.lastMousePoint = packPoint(0, 0);
    for (bool& held : s.heldKeys) held = false;
    for (bool& held : s.heldButtons) held = false;
    for (PressFate& fate : s.keyPressFates) fate = PressFate::Passed;
    for (PressFate& fate : s.buttonPressFates) fate = PressFate::Passed;
    s.modifierKeysDown = 0;
}

inline std::vector<MacroEvent> currentEvents() {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    return s.profiles[size_t(s.currentProfile)].events;
}

inline void setCurrentEvents(const std::vector<MacroEvent>& events) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles[size_t(s.currentProfile)].events = events;
    noteEventListEdited();
}
