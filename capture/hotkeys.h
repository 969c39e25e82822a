// The four global hotkeys and the reassignment of a binding. The hook steps
// run on the input-capture thread only, the only user of heldKeys and
// heldButtons.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/state.h"

// True when the code is bound to one of the four hotkeys (the key-spam target
// is no hotkey).
bool isHotkeyCode(int32_t code);

// Edge detection for a keyboard key (virtual-key code) or a mouse button
// (button code 1 to 6): the first press raises the request of the first
// hotkey bound to it; a release of a hotkey is swallowed too; auto-repeats of
// a held key pass. True when the event is to be swallowed.
bool keyboardHotkeyStep(int32_t vk, bool down);
bool mouseHotkeyStep(int32_t button, bool down);

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
