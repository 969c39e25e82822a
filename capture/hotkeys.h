// The four global hotkeys as the hook sees them. The hook steps run on the
// input-capture thread only, the only user of heldKeys and heldButtons.
#pragma once

#include <atomic>
#include <cstdint>

#include "model/bindings.h"
#include "model/state.h"

// True when the code is bound to one of the four hotkeys (the key-spam target
// is no hotkey).
bool isHotkeyCode(int32_t code);

// Edge detection for a keyboard key (virtual-key code) or a mouse button
// (button code 1 to 6): the first press raises the request of the first
// hotkey bound to it; a release of a hotkey is swallowed too; auto-repeats of
// a held key pass. True when the event is to be swallowed.
bool keyboardHotkeyStep(int32_t vk, bool down);
bool mouseHotkeyStep(int32_t button, bool down);
