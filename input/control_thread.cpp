// The control thread: the one place where engines are switched on and off,
// so the hooks and page calls only raise flags and return at once, and the
// safety releases go out whenever an engine stops. A person's Escape held for
// a second stops them all here too.
#include "capture/hook_logic.h"
#include "capture/hotkeys.h"
#include "input/engine_wait.h"
#include "input/engines.h"
#include "model/mouse_flags.h"
#include "model/state.h"
#include "model/start_rule.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "store/change_history.h"

namespace {

// A combination can fire one hotkey only: taking the combination of another
// hotkey hands that one the combination this slot gives up, so the two swap.
void giveUpCombinationTo(ReassignSlot slot, HotkeyCombination taken, HotkeyCombination replaced) {
    for (ReassignSlot other : kHotkeySlots) {
        const HotkeyCombination its = hotkeyOfSlot(other);
        if (other == slot || its.code != taken.code || its.modifiers != taken.modifiers) continue;
        bindingOfSlot(other)->store(replaced.code);
        modifiersOfSlot(other)->store(replaced.modifiers);
    }
}

// The key is read before its modifiers, which the hook stores first.
void applyReassignment() {
    AppState& s = appState();
    const ReassignSlot slot = s.reassignSlot;
    const int32_t key = s.capturedKey;
    if (slot == ReassignSlot::NoSlot || key == 0) return;
    const int32_t modifiers = s.capturedModifiers;
    std::atomic<int32_t>* binding = bindingOfSlot(slot);
    // Escape cancels, and a code no binding may hold is refused: either way
    // the binding stays as it was.
    if (binding && bindingAcceptable(slot, key)) {
        std::atomic<int32_t>* bindingModifiers = modifiersOfSlot(slot);
        const HotkeyCombination replaced{binding->exchange(key),
                                         bindingModifiers ? bindingModifiers->exchange(modifiers) : 0};
        if (isHotkeySlot(slot)) giveUpCombinationTo(slot, {key, modifiers}, replaced);
    }
    s.reassignSlot = ReassignSlot::NoSlot;
    s.capturedKey = 0;
    s.capturedModifiers = 0;
    announceStateChange();  // the grabs of the bindings and of the capture go
}

// Reads the flag, then exchanges in its negation; returns the new value.
bool invert(std::atomic<bool>& flag) {
    bool now = !flag.load();
    flag.exchange(now);
    return now;
}

void releaseMouse(uint32_t flags) { platform::sendMouseInput(0, 0, 0, flags); }

// What a toggle and then a Start or Stop ask of an engine that is now on or
// off. A delayed Start stays pending until it is due, or a Stop replaces it.
bool wantedState(bool on, std::atomic<bool>& toggle, std::atomic<int32_t>& engineSwitch,
                 const std::atomic<int64_t>& startAt) {
    if (toggle.exchange(false)) on = !on;
    if (engineSwitch == SwitchOn && startAt > platform::perfCounter()) return on;
    switch (engineSwitch.exchange(NoSwitch)) {
    case SwitchOn: return true;
    case SwitchOff: return false;
    default: return on;
    }
}

// A start the rule refuses leaves the engine off and says why; any start
// that goes ahead clears the reason.
bool startAllowed(std::atomic<int32_t>& refused, StartRefusal refusal) {
    refused = int32_t(refusal);
    return refusal == StartRefusal::None;
}

// Whichever button was in use, none may stay down.
void switchClicker(bool on) {
    AppState& s = appState();
    if (on && !s.autoClicking && !startAllowed(s.clickerRefused, clickerStartRefusal(s.clicker, liveSequencePassMs()))) return;
    if (s.autoClicking.exchange(on) == on) return;
    if (on) {
        wakeIdleEngines();
    } else {
        releaseMouse(mouse_flags::LeftUp);
        releaseMouse(mouse_flags::RightUp);
        releaseMouse(mouse_flags::MiddleUp);
    }
}

void switchKeySpam(bool on) {
    AppState& s = appState();
    if (on && !s.keySpamming && !startAllowed(s.keySpamRefused, keySpamStartRefusal(s.keySpam))) return;
    if (s.keySpamming.exchange(on) == on) return;
    if (on) {
        wakeIdleEngines();
    } else {
        releaseKeySpamTarget();
    }
}

// The playback thread releases whatever its macro still holds; these two go
// out at once, whatever the thread is doing.
void releasePlaybackButtons() {
    releaseMouse(mouse_flags::LeftUp);
    releaseMouse(mouse_flags::RightUp);
}

void applyRecordingRequest() {
    AppState& s = appState();
    if (!s.toggleRecordingRequested.exchange(false) || s.playing) return;
    if (s.recording) {
        s.recording = false;
        platform::captureThreadWake();  // raw input is let go
        return;
    }
    // Emptied and stamped under the lock the hooks append under, so no event
    // of the old list survives into the new recording. The old list is set
    // aside whole, for Undo, before the first event arrives: the hooks only
    // ever append.
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile >= 0 && size_t(s.currentProfile) < s.profiles.size()) {
        ChangeStep step = changeStep(ChangeKind::SwapEvents, size_t(s.currentProfile), s.currentProfile);
        step.held.events.swap(s.profiles[size_t(s.currentProfile)].events);
        step.label = "recording replaced " + countOfEvents(step.held.events.size());
        keepChangeLocked(s, std::move(step));
    }
    noteEventListEdited();
    s.recordStart = platform::perfCounter();
    s.recording = true;
    platform::captureThreadWake();  // raw input is taken while relative motion is recorded
}

void applyPlaybackRequest() {
    AppState& s = appState();
    if (!s.togglePlaybackRequested.exchange(false) || s.recording) return;
    if (invert(s.playing)) {
        wakeIdleEngines();
    } else {
        releasePlaybackButtons();
    }
}

void applySpammerRequest() {
    AppState& s = appState();
    switchClicker(wantedState(s.autoClicking, s.toggleSpammerRequested, s.clickerSwitch, s.clickerStartAt));
}

void applyKeySpamRequest() {
    AppState& s = appState();
    switchKeySpam(wantedState(s.keySpamming, s.toggleKeySpamRequested, s.keySpamSwitch, s.keySpamStartAt));
}

// The way out that always works: after every request of this pass, so a
// hotkey pressed during the hold does not undo it.
void applyEscapeHold() {
    AppState& s = appState();
    if (!escapeHoldFired(platform::perfCounter())) return;
    if (s.recording.exchange(false)) forgetHeldEscapeFromRecording();
    if (s.playing.exchange(false)) releasePlaybackButtons();
    s.clickerSwitch = s.keySpamSwitch = NoSwitch;  // a delayed Start too
    switchClicker(false);
    switchKeySpam(false);
}

// A person holding Escape or a Start that waits for its time: the control
// thread looks in short steps until then instead of sleeping for a change.
bool timedRequestPending() {
    const AppState& s = appState();
    const bool clickerWaits = s.clickerSwitch == SwitchOn && s.clickerStartAt != 0;
    const bool keySpamWaits = s.keySpamSwitch == SwitchOn && s.keySpamStartAt != 0;
    return escapeHoldPending() || clickerWaits || keySpamWaits;
}

}  // namespace

// What the page shows of the engines. A pass that changes it announces so,
// for whoever waits to show it (the page's held status poll).
int engineActivity() {
    const AppState& s = appState();
    return int(s.recording) | int(s.playing) << 1 | int(s.autoClicking) << 2 | int(s.keySpamming) << 3;
}

void controlPass() {
    const int before = engineActivity();
    applyReassignment();
    applyRecordingRequest();
    applyPlaybackRequest();
    applySpammerRequest();
    applyKeySpamRequest();
    applyEscapeHold();
    if (engineActivity() != before) announceStateChange();
}

// Sleeps until a request or a captured key is announced; the mark is taken
// before the pass, so one announced during the pass is not slept through.
void controlThread() {
    while (appState().running) {
        const uint32_t seen = stateChangeMark();
        controlPass();
        waitForStateChange(seen, timedRequestPending() ? 10 : kStateBackstopMs);
    }
    // An engine still on at shutdown is stopped as any other stop would.
    switchClicker(false);
    switchKeySpam(false);
    // The idle engines sleep until told; shutdown must not wait for their check.
    wakeIdleEngines();
}
