// Choosing the auto-clicker's fixed point, or a new step of its click
// sequence (pickAddsStep), with the next left click.
#pragma once

#include "capture/input_event.h"

enum class PickOutcome { NotHandled, Swallow };

// The picking step of the mouse hook, for a button event that is not
// injected: a left press takes the point, a right or middle press cancels,
// both swallowed; side buttons and releases are not the pick's business.
PickOutcome pickStep(const InputEvent& event);
// The keyboard's part: a person's Escape press cancels a pending pick, swallowed.
PickOutcome pickKeyStep(const InputEvent& event);
// The surface a backend shows for the pick was closed by the desktop: the
// pick ends without a point, as a cancelling press ends it.
void cancelPick();
// The fixed point set by a pick or typed by hand: the clicker clicks there
// from now on, and it counts as set (model/start_rule.h).
void takeFixedPoint(int32_t x, int32_t y);

// The presses a pending pick takes, whatever else is bound to them: the
// buttons that pick or cancel, and the key that cancels.
bool pickTakesButton(int32_t button);
constexpr int32_t kPickCancelKey = 27;  // Escape
