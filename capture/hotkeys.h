// The four global hotkeys and the reassignment of a binding. The hook steps
// run on the input-capture thread only, the only user of heldKeys and
// heldButtons.
#pragma once

#include <atomic>
#include <cstdint>

// True when the code is bound to one of the four hotkeys (the key-spam target
// is no hotkey).
bool isHotkeyCode(int32_t code);

// Edge detection for a keyboard key (virtual-key code) or a mouse button
// (button code 1 to 6): the first press raises the request of the first
// hotkey bound to it; a release of a hotkey is swallowed too; auto-repeats of
// a held key pass. True when the event is to be swallowed.
bool keyboardHotkeyStep(int32_t vk, bool down);
bool mouseHotkeyStep(int32_t button, bool down);

// The five reassignable bindings by slot: 1 record, 2 play, 3 auto-click,
// 4 key spam, 5 the key-spam target; nullptr for any other slot.
std::atomic<int32_t>* bindingOfSlot(int32_t slot);
// Whether reassignment takes this code for the slot: a key code (1 to 254)
// other than Escape, which cancels; for a hotkey also a mouse button but the
// left one, which every click would fire; for the key-spam target no mouse
// button at all.
bool bindingAcceptable(int32_t slot, int32_t code);
// Puts the default back into every binding that reassignment would refuse,
// for bindings read from a file.
void replaceRefusedBindings();

// The page's and the pipe's name of a reassignment slot ("" for none).
const char* reassignSlotName(int32_t slot);
