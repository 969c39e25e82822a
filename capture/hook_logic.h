// The decisions the input hooks make, once for every backend: picking a point,
// catching a key for a reassignment, hotkeys, and recording. Called on the
// input-capture thread only; allocation-free apart from the event list's growth.
#pragma once

#include <array>
#include <cstdint>

#include "capture/input_event.h"

// Each returns true when the event is to be swallowed (never reach any window).
bool handleKeyboardInput(const InputEvent& event);
bool handleMouseInput(const InputEvent& event);

// The same in two steps, for hooks that must answer the system at once and
// leave the recording to another thread: the decision inside the hook (fast,
// allocation-free, no lock), then recordInput on the recording thread, for
// every event that was not swallowed, in the order the hooks saw them.
struct HookVerdict {
    bool swallow = false;
    bool recordable = false;  // a key or button the hotkeys leave to the recording
};
HookVerdict decideKeyboardInput(const InputEvent& event);
HookVerdict decideMouseInput(const InputEvent& event);
// Whether recordInput has anything to do with an event that passed: a key
// when it may be recorded, pointer input while a recording runs.
bool needsRecordingStep(const InputEvent& event, HookVerdict verdict);
void recordInput(const InputEvent& event, HookVerdict verdict);
// Raw relative motion: recorded as RelMove while relative recording is on.
void handleRawMotion(const InputEvent& event);

// Escape held down by a person for a second stops everything, whatever the
// hotkeys. The hooks note its press and release; this says, once per hold,
// whether the hold has lasted long enough at now (a perfCounter value). Asked
// on a timer, as X11 reports no auto-repeats to wait on.
bool escapeHoldFired(int64_t now);
// A person holds Escape and the hold has not fired yet.
bool escapeHoldPending();
// Takes the person's Escape presses of the hold that fired out of the
// recording, after the recording has stopped.
void forgetHeldEscapeFromRecording();

// The backend's word on its watch of the input: the hooks could not be
// installed (missing), or the system removed them and they were put back
// (once more for each call). The status report tells the page.
void noteHooksMissing(bool missing);
void noteHooksReinstalled();
bool hooksMissing();
uint32_t hookReinstalls();
// Input that came faster than it could be recorded and was left out of the
// recording, in all (the backend's running count).
void noteInputDropped(uint64_t total);
uint64_t inputDropped();

// The backend's word that the session went away (locked, going to sleep) or
// came back (unlocked, resumed, back from another desktop): on the way back
// the modifier keys are forgotten, whose releases the hooks could not see.
// Capture thread only.
void noteSessionAway(bool away);

#ifdef VARNET_BENCH_PROBES
// In the benchmarks' build only: the recording's waits for profilesLock, as
// the hook saw them. A take is an append's lock; a wait, a take that found
// the lock held. byBucket[i] counts the waits of at most
// kHookWaitBucketsUs[i] microseconds (and above the one before); the last
// counts the longer ones.
inline constexpr std::array<int64_t, 12> kHookWaitBucketsUs{1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 5000, 0};
struct HookLockWaits {
    uint64_t takes = 0, waits = 0;
    int64_t totalNs = 0, longestNs = 0;
    std::array<uint64_t, kHookWaitBucketsUs.size()> byBucket{};
};
HookLockWaits hookLockWaits();
#endif
