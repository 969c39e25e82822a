// Puts AppState back to the state of a fresh start, for tests and fuzz
// targets that run many cases in one process.
#pragma once

#include <mutex>

#include "model/state.h"

inline void resetAppStateForTest() {
    AppState& s = appState();
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        s.profiles.clear();
        s.currentProfile = 0;
        s.pipeProblem.clear();
        s.history = ChangeHistory{};
        noteEventListEdited();
    }
    resetProfileDefaults();
    resetTrackerDefaults();
    resetHotkeyDefaults();
    s.recording = false;
    s.playing = false;
    s.autoClicking = false;
    s.keySpamming = false;
    s.clickRate = 0.0;
    s.keySpamRate = 0.0;
    s.clickerRefused = s.keySpamRefused = 0;
    AppSettings& a = s.app;
    a.alwaysOnTop = false;
    a.launchOnStartup = false;
    a.startMinimized = false;
    a.hotkeysEnabled = true;
    a.disableAnimations = false;
    a.windowX = 0;
    a.windowY = 0;
    a.windowWidth = kDefaultWindowWidth;
    a.windowHeight = kDefaultWindowHeight;
    a.windowMaximized = false;
    a.windowPlacementKnown = false;
    a.waylandNoticeDismissed = false;
    a.welcomeDismissed = false;
    s.mainWindow = nullptr;
    s.mainWebview = nullptr;
    replaceTheme(kDefaultTheme);
}
