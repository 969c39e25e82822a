#include "app/state.h"

AppState& appState() {
    static AppState state;
    return state;
}

uint64_t packPoint(int32_t x, int32_t y) {
    return (uint64_t(uint32_t(x)) << 32) | uint64_t(uint32_t(y));
}

int32_t pointX(uint64_t packed) { return int32_t(uint32_t(packed >> 32)); }
int32_t pointY(uint64_t packed) { return int32_t(uint32_t(packed & 0xffffffffu)); }

void resetProfileDefaults() {
    ClickerSettings& c = appState().clicker;
    c.sh = 0; c.sm = 0; c.ss = 0; c.sms = 100;
    c.sbtn = 0; c.stype = 0; c.rptMode = 1; c.rptTimes = 10;
    c.locMode = 0; c.fixedX = 0; c.fixedY = 0;
    KeySpamSettings& k = appState().keySpam;
    k.ksh = 0; k.ksm = 0; k.kss = 0; k.ksms = 100;
    k.ksRptMode = 1; k.ksRptTimes = 10; k.keySpamTarget = 32;
}

void resetHotkeyDefaults() {
    HotkeySet& h = appState().hotkeys;
    h.hkRec.exchange(119);
    h.hkPlay.exchange(118);
    h.hkAuto.exchange(117);
    h.hkKeySpam.exchange(120);
}

void resetTrackerDefaults() {
    TrackerSettings& t = appState().tracker;
    t.tmv = true; t.tclk = true; t.tscr = true; t.tkey = true; t.trel = false;
    t.tspd = 1.0f; t.tloop = false; t.tloopMs = 500;
}

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
