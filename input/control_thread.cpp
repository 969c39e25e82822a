// The control thread: the one place where engines are switched on and off,
// so the hooks and page calls only raise flags and return at once, and the
// safety releases go out whenever an engine stops.
#include "app/state.h"
#include "app/state_changes.h"
#include "app/workers.h"
#include "bridge/page_calls.h"
#include "input/engine_wait.h"
#include "input/engines.h"
#include "input/mouse_flags.h"
#include "platform/platform.h"

namespace {

const int32_t kEscape = 27;

std::atomic<int32_t>* bindingForSlot(int32_t slot) {
    AppState& s = appState();
    switch (slot) {
    case 1: return &s.hotkeys.hkRec;
    case 2: return &s.hotkeys.hkPlay;
    case 3: return &s.hotkeys.hkAuto;
    case 4: return &s.hotkeys.hkKeySpam;
    case 5: return &s.keySpam.keySpamTarget;
    default: return nullptr;
    }
}

void applyReassignment() {
    AppState& s = appState();
    int32_t slot = s.reassignSlot;
    int32_t key = s.capturedKey;
    if (slot == 0 || key == 0) return;
    std::atomic<int32_t>* binding = bindingForSlot(slot);
    // Escape cancels: the binding stays as it was.
    if (key != kEscape && binding) binding->store(key);
    s.reassignSlot = 0;
    s.capturedKey = 0;
    announceStateChange();  // the grabs of the bindings and of the capture go
}

// Reads the flag, then exchanges in its negation; returns the new value.
bool invert(std::atomic<bool>& flag) {
    bool now = !flag.load();
    flag.exchange(now);
    return now;
}

void releaseMouse(uint32_t flags) { platform::sendMouseInput(0, 0, 0, flags); }

void applyRecordingRequest() {
    AppState& s = appState();
    if (!s.toggleRecordingRequested.exchange(false) || s.playing) return;
    if (s.recording) {
        s.recording = false;
        return;
    }
    // Emptied and stamped under the lock the hooks append under, so no event
    // of the old list survives into the new recording.
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile >= 0 && size_t(s.currentProfile) < s.profiles.size())
        s.profiles[size_t(s.currentProfile)].events.clear();
    noteEventListEdited();
    s.recordStart = platform::perfCounter();
    s.recording = true;
}

void applyPlaybackRequest() {
    AppState& s = appState();
    if (!s.togglePlaybackRequested.exchange(false) || s.recording) return;
    if (invert(s.playing)) {
        wakeIdleEngines();
    } else {
        releaseMouse(mouse_flags::LeftUp);
        releaseMouse(mouse_flags::RightUp);
    }
}

void applySpammerRequest() {
    AppState& s = appState();
    if (!s.toggleSpammerRequested.exchange(false)) return;
    // Whichever button was in use, none may stay down.
    if (invert(s.autoClicking)) {
        wakeIdleEngines();
    } else {
        releaseMouse(mouse_flags::LeftUp);
        releaseMouse(mouse_flags::RightUp);
        releaseMouse(mouse_flags::MiddleUp);
    }
}

void applyKeySpamRequest() {
    AppState& s = appState();
    if (!s.toggleKeySpamRequested.exchange(false)) return;
    if (invert(s.keySpamming)) {
        wakeIdleEngines();
    } else {
        platform::sendKeyEvent(uint32_t(s.keySpam.keySpamTarget.load()), false);
    }
}

}  // namespace

void controlPass() {
    applyReassignment();
    applyRecordingRequest();
    applyPlaybackRequest();
    applySpammerRequest();
    applyKeySpamRequest();
}

// Sleeps until a request or a captured key is announced; the mark is taken
// before the pass, so one announced during the pass is not slept through.
void controlThread() {
    while (appState().running) {
        const uint32_t seen = stateChangeMark();
        controlPass();
        waitForStateChange(seen);
    }
    // The idle engines sleep until told; shutdown must not wait for their check.
    wakeIdleEngines();
}

std::string callToggleRecording(const std::string&) {
    raiseRequest(appState().toggleRecordingRequested);
    return "";
}

std::string callTogglePlayback(const std::string&) {
    raiseRequest(appState().togglePlaybackRequested);
    return "";
}
