// What the input hooks would swallow in the state as it is now, as sets: for
// a backend that must take input away from the windows before it arrives
// (X11 grabs) rather than decide on each event as it comes. Made by the same
// rules as the hooks' decisions, so the two cannot drift apart.
#pragma once

#include <bitset>
#include <cstdint>

#include "model/mouse_buttons.h"

struct SwallowPlan {
    // Key presses taken, by virtual-key code: the hotkeys', and Escape's while a pick waits.
    std::bitset<256> keys;
    bool everyKey = false;  // every key press: a new binding is awaited
    // Button presses taken, by button code: the hotkeys', a new binding's, a pick's.
    std::bitset<kLastButtonCode + 1> buttons;
    // Of those, the presses taken only because a pick waits: the press picks
    // the point or cancels, the pick is over, and the release belongs to the
    // window under the pointer again.
    std::bitset<kLastButtonCode + 1> pickOnlyButtons;
};

// Safe from any thread; allocates nothing.
SwallowPlan swallowPlanFromState();
