// The decisions the input hooks make, once for every backend: picking a point,
// catching a key for a reassignment, hotkeys, and recording. Called on the
// input-capture thread only; allocation-free apart from the event list's growth.
#pragma once

#include "capture/input_event.h"

// Each returns true when the event is to be swallowed (never reach any window).
bool handleKeyboardInput(const InputEvent& event);
bool handleMouseInput(const InputEvent& event);
// Raw relative motion: recorded as RelMove while relative recording is on.
void handleRawMotion(const InputEvent& event);
