// The bindings of the four hotkeys and the key-spam target: the slots a
// reassignment fills, their names, and which codes each slot takes.
#pragma once

#include <atomic>
#include <cstdint>

#include "model/state.h"

// Every slot a reassignment may wait on.
constexpr ReassignSlot kReassignSlots[] = {ReassignSlot::Record, ReassignSlot::Play, ReassignSlot::AutoClick,
                                           ReassignSlot::KeySpamHotkey, ReassignSlot::KeySpamTarget};
// The slots of the four hotkeys, in the order a shared key fires them.
constexpr ReassignSlot kHotkeySlots[] = {ReassignSlot::Record, ReassignSlot::Play,
                                         ReassignSlot::AutoClick, ReassignSlot::KeySpamHotkey};
constexpr bool isHotkeySlot(ReassignSlot slot) {
    for (ReassignSlot hotkey : kHotkeySlots)
        if (slot == hotkey) return true;
    return false;
}

// The binding a slot fills; nullptr for NoSlot and any value that names no slot.
std::atomic<int32_t>* bindingOfSlot(ReassignSlot slot);
// Whether reassignment takes this code for the slot: a key code (1 to 254)
// other than Escape, which cancels; for a hotkey also a mouse button but the
// left one, which every click would fire; for the key-spam target no mouse
// button at all.
bool bindingAcceptable(ReassignSlot slot, int32_t code);
// Whether a pending reassignment catches a press of this button as its new
// binding (a key press it catches whatever the key).
bool reassignmentTakesButton(ReassignSlot slot, int32_t button);
// Puts the default back into every binding that reassignment would refuse,
// for bindings read from a file.
void replaceRefusedBindings();

// The page's and the pipe's name of a reassignment slot ("" for none).
const char* reassignSlotName(ReassignSlot slot);
