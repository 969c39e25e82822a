// Precedence inside the hooks: picking, then the capture of a new binding,
// then hotkeys, then recording. Every decision is made before profilesLock is
// taken; the lock covers the append alone, so the hook never waits long.
#include "capture/hook_logic.h"

#include <atomic>
#include <mutex>

#include "capture/button_flags.h"
#include "capture/hotkeys.h"
#include "capture/picking.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"

namespace {

constexpr int32_t kEscape = 27;

#ifdef VARNET_BENCH_PROBES
// The benchmark build's count of the hook's own waits for profilesLock; the
// capture thread alone writes it, the benchmark reads it once that is done.
HookLockWaits lockWaits;

void countLockWait(int64_t waitedNs) {
    ++lockWaits.waits;
    lockWaits.totalNs += waitedNs;
    if (waitedNs > lockWaits.longestNs) lockWaits.longestNs = waitedNs;
    size_t bucket = 0;
    while (bucket + 1 < kHookWaitBucketsUs.size() && waitedNs > kHookWaitBucketsUs[bucket] * 1000) ++bucket;
    ++lockWaits.byBucket[bucket];
}

// Takes the lock as the program does; a try that fails first is a wait,
// timed from that try to the lock.
std::unique_lock<std::mutex> lockProfilesCountingWaits(std::mutex& m) {
    ++lockWaits.takes;
    std::unique_lock<std::mutex> lock(m, std::try_to_lock);
    if (lock.owns_lock()) return lock;
    const int64_t since = platform::perfCounter();
    lock.lock();
    const int64_t frequency = platform::perfCounterFrequency();
    countLockWait(frequency > 0 ? (platform::perfCounter() - since) * 1000000000 / frequency : 0);
    return lock;
}
#endif

// Appends to the current profile, unless the event was seen before the
// recording it would land in started (a stale event of the old one) or the
// recording has stopped since the hook looked (what is taken out of a stopped
// recording under the lock stays out). When movedTo is given, lastMousePoint
// changes under the same lock as the append.
void appendEvent(MacroEvent event, int64_t seenAt, const uint64_t* movedTo = nullptr) {
    AppState& s = appState();
#ifdef VARNET_BENCH_PROBES
    const std::unique_lock<std::mutex> lock = lockProfilesCountingWaits(s.profilesLock);
#else
    std::lock_guard<std::mutex> lock(s.profilesLock);
#endif
    const int64_t start = s.recordStart;
    if (seenAt < start || !s.recording) return;
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return;
    const int64_t frequency = s.perfFrequency;
    event.time = frequency > 0 ? double(seenAt - start) / double(frequency) : 0.0;
    s.profiles[size_t(s.currentProfile)].events.push_back(event);
    noteProfilesChanged();
    if (movedTo) s.lastMousePoint = *movedTo;
}

// A virtual key that no layout assigns: typed between a held Alt or Windows
// key and its release, it keeps that release from opening the window's menu
// bar or the Start menu. Where no key has this code, nothing is sent.
constexpr uint32_t kMaskingKey = 0xE8;

// The hotkey's own key was swallowed, so Alt or Windows would go up with
// nothing pressed in between; the masking key comes in between now, before
// the release the hooks pass on.
void maskMenuModifiers(int32_t modifiers) {
    if ((modifiers & (modifier_bit::Alt | modifier_bit::Super)) == 0) return;
    platform::sendKeyEvent(kMaskingKey, true);
    platform::sendKeyEvent(kMaskingKey, false);
}

// The modifiers go first: the control thread takes them once it sees the key.
bool captureNewBinding(int32_t code, int32_t modifiers) {
    AppState& s = appState();
    s.capturedModifiers.exchange(modifiersOfSlot(s.reassignSlot) ? modifiers : 0);
    s.capturedKey.exchange(code);
    announceStateChange();
    return true;
}

void recordPointerMove(const InputEvent& event) {
    AppState& s = appState();
    const uint64_t point = packPoint(event.x, event.y);
    if (!s.tracker.tmv) return;
    if (s.tracker.trel) {
        s.lastMousePoint = point;  // relative motion comes from raw input instead
        return;
    }
    if (point == s.lastMousePoint) return;
    MacroEvent move;
    move.kind = AbsMove;
    move.x = event.x;
    move.y = event.y;
    appendEvent(move, event.counter, &point);
}

void recordWheel(const InputEvent& event) {
    if (!appState().tracker.tscr) return;
    MacroEvent scroll;
    scroll.kind = Scroll;
    scroll.delta = event.delta;
    appendEvent(scroll, event.counter);
}

void recordButton(const InputEvent& event) {
    if (!appState().tracker.tclk) return;
    const uint32_t flags = recordedButtonFlags(event.code, event.down);
    if (flags == 0) return;
    MacroEvent click;
    click.kind = MouseButton;
    click.x = event.x;
    click.y = event.y;
    click.flags = flags;
    appendEvent(click, event.counter);
}

void recordMouse(const InputEvent& event, bool buttonRecordable) {
    switch (event.kind) {
    case InputEvent::PointerMove: recordPointerMove(event); break;
    case InputEvent::Wheel: recordWheel(event); break;
    case InputEvent::Button:
        if (buttonRecordable) recordButton(event);
        break;
    default: break;
    }
}

// Picking, capture and hotkeys for a button that is not injected.
HotkeyOutcome buttonOutcome(const InputEvent& event) {
    AppState& s = appState();
    if (pickStep(event) == PickOutcome::Swallow) {
        // A hotkey's button keeps its release from the windows, as its grab does on X11.
        if (event.down && s.app.hotkeysEnabled && isHotkeyCode(event.code)) buttonPressSwallowed(event.code);
        return {true, false};
    }
    const int32_t modifiers = event.down ? confirmedModifiersBesides(0) : modifiersHeldBesides(0);
    if (event.down && reassignmentTakesButton(s.reassignSlot, event.code)) {
        buttonPressSwallowed(event.code);
        captureNewBinding(event.code, modifiers);
        return {true, false};
    }
    const HotkeyOutcome outcome = mouseHotkeyStep(event.code, event.down, modifiers);
    if (outcome.swallow && event.down) maskMenuModifiers(modifiers);
    return outcome;
}

// The first press of a hold starts it (auto-repeats do not restart it); the
// release ends it and lets the next hold fire again.
void noteEscape(const InputEvent& event) {
    AppState& s = appState();
    if (event.kind != InputEvent::Key || event.code != kEscape) return;
    if (!event.down) {
        s.escapeHeld = false;
        s.escapeHoldSpent = false;
    } else if (!s.escapeHeld) {
        s.escapeDownAt = event.counter;
        s.escapeHeld = true;
        announceStateChange();  // the control thread times the hold
    }
}

}  // namespace

#ifdef VARNET_BENCH_PROBES
HookLockWaits hookLockWaits() { return lockWaits; }
#endif

bool escapeHoldPending() {
    const AppState& s = appState();
    return s.escapeHeld && !s.escapeHoldSpent;
}

bool escapeHoldFired(int64_t now) {
    AppState& s = appState();
    if (!s.escapeHeld || s.escapeHoldSpent) return false;
    const int64_t second = s.perfFrequency > 0 ? s.perfFrequency.load() : platform::perfCounterFrequency();
    if (now - s.escapeDownAt < second) return false;
    return !s.escapeHoldSpent.exchange(true);
}

void forgetHeldEscapeFromRecording() {
    AppState& s = appState();
    const int64_t frequency = s.perfFrequency;
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return;
    const double pressedAt = frequency > 0 ? double(s.escapeDownAt - s.recordStart) / double(frequency) : 0.0;
    std::vector<MacroEvent>& events = s.profiles[size_t(s.currentProfile)].events;
    const size_t removed = std::erase_if(events, [pressedAt](const MacroEvent& e) {
        return e.kind == KeyStroke && e.vk == kEscape && e.time >= pressedAt;
    });
    // Those who copied the list (the side file, the session file) must see it.
    if (removed > 0) noteEventListEdited();
}

HookVerdict decideKeyboardInput(const InputEvent& event) {
    AppState& s = appState();
    if (event.injected) return {};
    // A press is matched against the hotkeys: its modifiers are confirmed.
    const int32_t modifiers =
        event.down ? confirmedModifiersBesides(event.code) : modifiersHeldBesides(event.code);
    noteModifierKey(event.code, event.down);
    noteEscape(event);
    if (pickKeyStep(event) == PickOutcome::Swallow) return {true, false};
    // A hotkey's modifier keys pass on while its key is awaited, to be held
    // with the key that follows: a swallowed one's auto-repeats would reach
    // the window without its press, and its release not at all.
    if (event.down && reassignmentEndsWithKey(s.reassignSlot, event.code)) {
        keyPressSwallowed(event.code);
        const bool target = s.reassignSlot == ReassignSlot::KeySpamTarget;
        return {captureNewBinding(event.code, target ? modifiersHeldBesides(event.code, true) : modifiers), false};
    }
    const HotkeyOutcome hotkey = keyboardHotkeyStep(event.code, event.down, modifiers);
    if (hotkey.swallow) {
        if (event.down) maskMenuModifiers(modifiers);
        return {true, false};
    }
    return {false, hotkey.recordable};
}

// Outside a recording the last point is kept here, a store the hook can
// afford, so that pointer motion wakes no other thread.
HookVerdict decideMouseInput(const InputEvent& event) {
    AppState& s = appState();
    const bool isMove = event.kind == InputEvent::PointerMove;
    HookVerdict verdict{false, !event.injected};
    if (!event.injected && event.kind == InputEvent::Button && event.code != 0) {
        const HotkeyOutcome outcome = buttonOutcome(event);
        if (outcome.swallow) return {true, false};
        verdict.recordable = outcome.recordable;
    }
    if (isMove && (event.injected || !s.recording)) s.lastMousePoint = packPoint(event.x, event.y);
    return verdict;
}

bool needsRecordingStep(const InputEvent& event, HookVerdict verdict) {
    if (verdict.swallow || event.injected) return false;
    return event.kind == InputEvent::Key ? verdict.recordable : appState().recording.load();
}

void recordInput(const InputEvent& event, HookVerdict verdict) {
    AppState& s = appState();
    if (event.kind == InputEvent::Key) {
        if (!verdict.recordable || event.injected || !s.recording || !s.tracker.tkey) return;
        MacroEvent key;
        key.kind = KeyStroke;
        key.vk = event.code;
        key.scan = event.scan;
        key.down = event.down;
        appendEvent(key, event.counter);
        return;
    }
    if (event.injected) return;
    if (s.recording) {
        recordMouse(event, verdict.recordable);
    } else if (event.kind == InputEvent::PointerMove) {
        s.lastMousePoint = packPoint(event.x, event.y);  // the recording stopped meanwhile
    }
}

bool handleKeyboardInput(const InputEvent& event) {
    const HookVerdict verdict = decideKeyboardInput(event);
    if (needsRecordingStep(event, verdict)) recordInput(event, verdict);
    return verdict.swallow;
}

bool handleMouseInput(const InputEvent& event) {
    const HookVerdict verdict = decideMouseInput(event);
    if (needsRecordingStep(event, verdict)) recordInput(event, verdict);
    return verdict.swallow;
}

// Raw motion from our own or anyone's synthetic input is left out as well:
// where the system marks it, it is no more the user's than an injected click.
void handleRawMotion(const InputEvent& event) {
    AppState& s = appState();
    if (event.injected || event.absolute || (event.x == 0 && event.y == 0)) return;
    if (!s.recording || !s.tracker.tmv || !s.tracker.trel) return;
    MacroEvent move;
    move.kind = RelMove;
    move.x = event.x;
    move.y = event.y;
    appendEvent(move, event.counter);
}

namespace {
std::atomic<bool> hooksAreMissing{false};
std::atomic<uint32_t> hooksReinstalled{0};
std::atomic<uint64_t> droppedInput{0};
}  // namespace

void noteInputDropped(uint64_t total) { droppedInput = total; }
uint64_t inputDropped() { return droppedInput; }

void noteHooksMissing(bool missing) { hooksAreMissing = missing; }
void noteHooksReinstalled() { hooksReinstalled.fetch_add(1); }
bool hooksMissing() { return hooksAreMissing; }
uint32_t hookReinstalls() { return hooksReinstalled; }

void noteSessionAway(bool away) {
    AppState& s = appState();
    if (!away) forgetHeldModifiers();
    if (s.sessionAway.exchange(away) != away) announceStateChange();
}
