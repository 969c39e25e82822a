// What the input hooks would swallow in the state as it is now, as sets: for
// a backend that must take input away from the windows before it arrives
// (X11 grabs) rather than decide on each event as it comes. Made by the same
// rules as the hooks' decisions, so the two cannot drift apart.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

#include "capture/hotkeys.h"
#include "model/mouse_buttons.h"

struct SwallowPlan {
    // Key presses taken whatever the modifiers, by virtual-key code: Escape's while a pick waits.
    std::bitset<256> keys;
    bool everyKey = false;  // every key press: a new binding is awaited
    // Of those, the modifier keys pass: a hotkey awaits its key. (X11 takes
    // the whole keyboard all the same, to keep the key's release too.)
    bool modifiersPass = false;
    // Button presses taken whatever the modifiers, by button code: a new binding's, a pick's.
    std::bitset<kLastButtonCode + 1> buttons;
    // Of those, the presses taken only because a pick waits: the press picks
    // the point or cancels, the pick is over, and the release belongs to the
    // window under the pointer again.
    std::bitset<kLastButtonCode + 1> pickOnlyButtons;
    // The hotkeys' presses, taken only with exactly their modifiers down
    // (the lock keys aside). A key or button code each; none while hotkeys are off.
    std::array<HotkeyCombination, 4> hotkeys{};
    size_t hotkeyCount = 0;
};

// Safe from any thread; allocates nothing.
SwallowPlan swallowPlanFromState();

// Whether the plan takes a press of the key, or of the button, made with
// these modifiers down.
bool planTakesKey(const SwallowPlan& plan, int32_t vk, int32_t modifiers);
bool planTakesButton(const SwallowPlan& plan, int32_t button, int32_t modifiers);
