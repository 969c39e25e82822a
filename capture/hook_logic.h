// The decisions the input hooks make, once for every backend: picking a point,
// catching a key for a reassignment, hotkeys, and recording. Called on the
// input-capture thread only; allocation-free apart from the event list's growth.
#pragma once

#include <cstdint>

#include "capture/input_event.h"

// Each returns true when the event is to be swallowed (never reach any window).
bool handleKeyboardInput(const InputEvent& event);
bool handleMouseInput(const InputEvent& event);
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

// The backend's word that the session went away (locked, going to sleep) or
// came back (unlocked, resumed, back from another desktop): on the way back
// the modifier keys are forgotten, whose releases the hooks could not see.
// Capture thread only.
void noteSessionAway(bool away);
